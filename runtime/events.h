#pragma once

namespace runtime {

struct element_record;

// Calls the handler bound to `event` of the element, if any, unless the shutdown has begun.
void raise_event(const element_record& record, int event);

}  // namespace runtime
