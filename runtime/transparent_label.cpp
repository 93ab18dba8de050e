#include <wx/dcscreen.h>
#include <wx/stattext.h>

#include <string>
#include <vector>

#include "runtime/colour.h"
#include "runtime/element.h"

namespace runtime {

namespace {

enum label_setting : property_index {
  caption = 8,
  text_colour = 11,
  horizontal_alignment = 12,
  word_wrap = 13,
  vertical_alignment = 14,
  font = 10,
};

// Stored in the form data in this order: effect, text colour, alignments, word wrap, font, caption.
constexpr setting_spec label_settings[] = {
    {9, "effect", setting_type::integer, "0"},
    {11, "text_colour", setting_type::integer, "0"},
    {12, "horizontal_alignment", setting_type::integer, "0"},
    {14, "vertical_alignment", setting_type::integer, "1"},
    {13, "word_wrap", setting_type::integer, "0"},
    {10, "font", setting_type::text, ""},
    {8, "caption", setting_type::text, ""},
};

// A logical font written "height,width,weight,italic,underline,strike_out,character_set,face".
// A negative height is the character height in pixels. Anything else is not a logical font, and
// the window's default font is used.
wxFont logical_font(const wxString& spec, const wxFont& fallback) {
  std::vector<std::string> fields;
  std::string field;
  for (char c : std::string(spec.utf8_str())) {
    if (c == ',') {
      fields.push_back(field);
      field.clear();
    } else {
      field += c;
    }
  }
  fields.push_back(field);
  if (fields.size() != 8) return fallback;
  try {
    const int height = std::stoi(fields[0]);
    const int weight = std::stoi(fields[2]);
    // The height is the characters' em height in pixels (the toolkit's pixel size would be the
    // line height): converted to points at the screen's resolution.
    const double ppi = wxScreenDC().GetPPI().y;
    wxFontInfo info((height < 0 ? -height : height) * 72.0 / (ppi > 0 ? ppi : 96.0));
    // The character set is replaced by the default one when the font is made.
    info.Weight(weight == 0 ? wxFONTWEIGHT_NORMAL : weight)
        .Italic(std::stoi(fields[3]) != 0)
        .Underlined(std::stoi(fields[4]) != 0)
        .Strikethrough(std::stoi(fields[5]) != 0);
    if (!fields[7].empty()) info.FaceName(wxString::FromUTF8(fields[7]));
    return wxFont(info);
  } catch (const std::exception&) {
    return fallback;
  }
}

// A caption drawn as glyphs only: the toolkit's label has no window or background of its own, so
// whatever lies beneath shows through. It never takes the focus.
class transparent_label : public element {
 public:
  transparent_label(wxWindow* parent, const element_record& record, int child_id)
      : element(record, transparent_label_kind) {
    long style = wxST_NO_AUTORESIZE;
    if (integer(horizontal_alignment) == 1) style |= wxALIGN_CENTRE_HORIZONTAL;
    if (integer(horizontal_alignment) == 2) style |= wxALIGN_RIGHT;
    label_ = new wxStaticText(parent, child_id, text(caption), wxPoint(record.left, record.top),
                              wxDefaultSize, style);
    label_->SetFont(logical_font(text(font), parent->GetFont()));
    label_->SetForegroundColour(colour_from_setting(integer(text_colour)));
    place();
  }

  wxWindow* widget() const override { return label_; }

  // The toolkit's label draws at its top: it is made one text-height high and placed in the
  // rectangle as the vertical alignment says.
  void place() override {
    const int left = static_cast<int>(integer(property_left));
    const int top = static_cast<int>(integer(property_top));
    const int width = static_cast<int>(integer(property_width));
    const int height = static_cast<int>(integer(property_height));
    int text_height = label_->GetBestSize().GetHeight();
    if (integer(word_wrap) || text_height > height) text_height = height;
    int y = top;
    if (integer(vertical_alignment) == 1) y = top + (height - text_height) / 2;
    if (integer(vertical_alignment) == 2) y = top + height - text_height;
    label_->SetSize(left, y, width, text_height);
  }

 protected:
  void apply(property_index index) override {
    if (index == caption) label_->SetLabel(text(caption));
    place();
  }

 private:
  wxStaticText* label_;
};

std::unique_ptr<element> create_label(wxWindow* parent, const element_record& record,
                                      int child_id) {
  return std::make_unique<transparent_label>(parent, record, child_id);
}

}  // namespace

const control_kind transparent_label_kind{"TransLabel", 1, label_settings, false, create_label};

}  // namespace runtime
