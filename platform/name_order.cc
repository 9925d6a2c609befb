#include "platform/name_order.h"

#include <utf8proc.h>

#include <algorithm>
#include <cstdlib>
#include <numeric>

namespace platform {

std::string nameOrderKey(std::string_view name) {
  utf8proc_uint8_t* composed = nullptr;
  const utf8proc_ssize_t length =
      utf8proc_map(reinterpret_cast<const utf8proc_uint8_t*>(name.data()), static_cast<utf8proc_ssize_t>(name.size()),
                   &composed, static_cast<utf8proc_option_t>(UTF8PROC_STABLE | UTF8PROC_COMPOSE));
  if (length < 0) return std::string(name);  // not valid UTF-8: its bytes are its key
  std::string key(reinterpret_cast<const char*>(composed), static_cast<size_t>(length));
  std::free(composed);
  return key;
}

std::vector<size_t> nameOrder(const std::vector<std::string>& names) {
  std::vector<std::string> keys;
  keys.reserve(names.size());
  for (const std::string& name : names) keys.push_back(nameOrderKey(name));
  std::vector<size_t> order(names.size());
  std::iota(order.begin(), order.end(), size_t{0});
  std::stable_sort(order.begin(), order.end(), [&](size_t a, size_t b) { return keys[a] < keys[b]; });
  return order;
}

}  // namespace platform
