# Writes OUTPUT, a C++ file that defines ui::start_window_form() over the bytes of INPUT.
file(READ "${INPUT}" hex HEX)
string(REGEX REPLACE "(..)" "0x\\1," bytes "${hex}")
file(WRITE "${OUTPUT}" "#include \"ui/start_window.h\"\n\nnamespace ui {\n\nnamespace {\nconstexpr unsigned char data[] = {${bytes}};\n}  // namespace\n\nstd::string_view start_window_form() {\n  return {reinterpret_cast<const char*>(data), sizeof data};\n}\n\n}  // namespace ui\n")
