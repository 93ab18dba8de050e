#pragma once

#include "runtime/element.h"

class wxFrame;

namespace runtime {

// A top-level window of the form.
class window_element : public element {
 public:
  window_element(const element_record& record, wxFrame* frame);
  wxWindow* widget() const override;

  // Shows the window where its start position says (centred on the screen for this form) at its
  // outer size, and activates it.
  void show_on_screen();

  bool enter_moves_focus() const;
  bool escape_closes() const;
  bool f1_opens_help() const;

 protected:
  void apply(property_index index) override;
  void place() override;

 private:
  wxFrame* frame_;
};

}  // namespace runtime
