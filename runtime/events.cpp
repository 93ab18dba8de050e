#include "runtime/events.h"

#include "runtime/form_description.h"
#include "runtime/runtime_state.h"

namespace runtime {

void raise_event(const element_record& record, int event) {
  if (state().shutdown_mark) return;
  if (routine handler = record.handler_for(event)) handler();
}

}  // namespace runtime
