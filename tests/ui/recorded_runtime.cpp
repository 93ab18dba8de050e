#include "recorded_runtime.h"

#include <cstdlib>
#include <cstring>
#include <map>

#include "runtime/memory.h"
#include "runtime/properties.h"
#include "ui/query_button.h"

namespace {
std::map<void*, std::size_t> blocks;
}

recorded_runtime& recorded_runtime::instance() {
  static recorded_runtime r;
  return r;
}

void recorded_runtime::reset() {
  edit_box_content.reset();
  calls.clear();
  addresses_written.clear();
}

namespace runtime {

void* allocate(std::size_t bytes) {
  void* block = std::malloc(bytes);
  blocks[block] = bytes;
  ++recorded_runtime::instance().live_blocks;
  recorded_runtime::instance().calls.push_back("allocate " + std::to_string(bytes));
  return block;
}

void release(void* block) {
  auto& r = recorded_runtime::instance();
  if (!block) {
    r.calls.push_back("release null");
    return;
  }
  const auto constants = ui::constant_block();
  if (block >= constants.data() && block < constants.data() + constants.size()) return;
  r.calls.push_back("release " + std::to_string(blocks.at(block)));
  blocks.erase(block);
  --r.live_blocks;
  std::free(block);
}

void fail_allocation_at(unsigned) {}

property_value read_property(window_number, control_number control, property_index index, int) {
  auto& r = recorded_runtime::instance();
  r.calls.push_back("read " + std::to_string(control) + " " + std::to_string(index));
  if (!r.edit_box_content) return property_value::of_text(nullptr);
  const std::string& s = *r.edit_box_content;
  char* text = static_cast<char*>(allocate(s.size() + 1));
  std::memcpy(text, s.c_str(), s.size() + 1);
  return property_value::of_text(text);
}

void write_property(window_number, control_number control, property_index index, int,
                    const property_value& value) {
  auto& r = recorded_runtime::instance();
  r.calls.push_back("write " + std::to_string(control) + " " + std::to_string(index));
  r.addresses_written.push_back(value.text ? value.text : "");
}

}  // namespace runtime
