# With CHATI_SANITIZE every target is built with AddressSanitizer (LeakSanitizer included) and UBSan.
if(CHATI_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
  add_link_options(-fsanitize=address,undefined)
endif()
