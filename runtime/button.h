#pragma once

#include "runtime/element.h"

class wxButton;

namespace runtime {

// A push button; its click raises event 0.
class button : public element {
 public:
  button(wxWindow* parent, const element_record& record, int child_id);
  wxWindow* widget() const override;

  // A default button is pressed by Enter (button kind 1).
  bool is_default() const;
  void click();

 protected:
  void apply(property_index index) override;

 private:
  wxButton* ctrl_;
};

}  // namespace runtime
