#pragma once

#include <wx/string.h>

#include <cstdint>
#include <map>
#include <variant>

#include "runtime/control_kind.h"
#include "runtime/form_description.h"
#include "runtime/properties.h"

class wxWindow;

namespace runtime {

// A live element: a window or a control built from its record. Its properties are read and
// written by index: the eight common ones here, the kind's own through the kind's subclass.
class element {
 public:
  element(const element_record& record, const control_kind& kind);
  virtual ~element() = default;
  element(const element&) = delete;
  element& operator=(const element&) = delete;

  // The toolkit window that stands for the element: what gets the focus and is placed.
  virtual wxWindow* widget() const = 0;

  const element_record& record() const { return record_; }
  const control_kind& kind() const { return kind_; }

  property_value read(property_index index) const;
  void write(property_index index, const property_value& value);

  std::int64_t integer(property_index index) const;
  wxString text(property_index index) const;

  // Gives the element the keyboard focus.
  virtual void take_focus();

  // Places the toolkit window at the element's rectangle (a subclass may place it inside).
  virtual void place();

 protected:
  using stored = std::variant<std::int64_t, wxString>;

  // A kind whose property changes live (the edit box's content) reads it here.
  virtual bool read_live(property_index, stored&) const { return false; }
  // Called after a property of the kind was stored, to bring the toolkit window in line.
  virtual void apply(property_index) {}

 private:
  element_record record_;
  const control_kind& kind_;
  std::map<property_index, stored> values_;
};

}  // namespace runtime
