// What the tool's window systems share.
#include "cli/window_system.hpp"

#include <algorithm>
#include <vector>

namespace quillfern::cli {

std::string form_texts(const platform::Form& form) {
  std::vector<const platform::Control*> order;
  for (const platform::Control& c : form.controls()) {
    if (c.visible && !c.caption.empty()) order.push_back(&c);
  }
  std::stable_sort(order.begin(), order.end(), [](const platform::Control* a, const platform::Control* b) {
    return a->top != b->top ? a->top < b->top : a->left < b->left;
  });
  std::string text = form.caption() + "\n";
  for (const platform::Control* c : order) text += platform::plain_caption(c->caption).text + "\n";
  return text;
}

}  // namespace quillfern::cli
