#include <algorithm>
#include <cstring>
#include <set>
#include <vector>

#include "ui/posix/fake_native.h"
#include "ui/unit_platform.h"

namespace bv {

namespace {

struct FakeNative {
  FakeNative* parent = nullptr;
  unitplatform::NativeRect rect;
  bool visible = false;
  bool enabled = true;
  fakenative::DestroyHook hook = nullptr;
  void* context = nullptr;
};

std::set<FakeNative*>& Live() {
  static std::set<FakeNative*> live;
  return live;
}
// Every record in stacking order; among siblings the first is on top.
std::vector<FakeNative*>& Order() {
  static std::vector<FakeNative*> order;
  return order;
}
FakeNative* g_focus = nullptr;
int g_pumps = 0;

FakeNative* Get(void* native) {
  auto* n = static_cast<FakeNative*>(native);
  return Live().count(n) ? n : nullptr;
}

void Unlink(FakeNative* n) {
  Live().erase(n);
  auto& order = Order();
  order.erase(std::remove(order.begin(), order.end(), n), order.end());
  if (g_focus == n) g_focus = nullptr;
}

}  // namespace

namespace fakenative {

void* Create(void* parent, const unitplatform::NativeRect& rect, bool visible, bool enabled, DestroyHook hook,
             void* context) {
  auto* n = new FakeNative{Get(parent), rect, visible, enabled, hook, context};
  Live().insert(n);
  Order().push_back(n);
  return n;
}

bool Exists(void* native) { return Get(native) != nullptr; }

int StackIndex(void* native) {
  FakeNative* n = Get(native);
  if (!n) return -1;
  int index = 0;
  for (FakeNative* s : Order()) {
    if (s == n) return index;
    if (s->parent == n->parent) ++index;
  }
  return -1;
}

void* Focused() { return g_focus; }
int MessagePumps() { return g_pumps; }

void Reset() {
  for (FakeNative* n : Live()) delete n;
  Live().clear();
  Order().clear();
  g_focus = nullptr;
  g_pumps = 0;
}

}  // namespace fakenative

namespace unitplatform {

NativeRect NativeRectOf(void* native) {
  FakeNative* n = Get(native);
  return n ? n->rect : NativeRect{};
}
bool NativeVisible(void* native) {
  FakeNative* n = Get(native);
  return n && n->visible;
}
bool NativeEnabled(void* native) {
  FakeNative* n = Get(native);
  return n && n->enabled;
}
void NativeMove(void* native, const NativeRect& rect) {
  if (FakeNative* n = Get(native)) n->rect = rect;
}
void NativeShow(void* native, bool visible) {
  if (FakeNative* n = Get(native)) n->visible = visible;
}
void NativeEnable(void* native, bool enabled) {
  if (FakeNative* n = Get(native)) n->enabled = enabled;
}

void NativeDestroy(void* native) {
  FakeNative* n = Get(native);
  if (!n) return;
  // The record itself first, its children after, as a native window's
  // destruction message reaches the parent before its children.
  Unlink(n);
  if (n->hook) n->hook(n->context);
  std::vector<FakeNative*> children;
  for (FakeNative* c : Order())
    if (c->parent == n) children.push_back(c);
  for (FakeNative* c : children) NativeDestroy(c);
  delete n;
}

void NativePlaceAfter(void* native, void* sibling) {
  FakeNative* n = Get(native);
  FakeNative* s = Get(sibling);
  if (!n || !s || n == s) return;
  auto& order = Order();
  order.erase(std::remove(order.begin(), order.end(), n), order.end());
  order.insert(std::find(order.begin(), order.end(), s) + 1, n);
}

bool NativeHasFocus(void* native) {
  FakeNative* n = Get(native);
  for (FakeNative* f = g_focus; n && f; f = f->parent)
    if (f == n) return true;
  return false;
}
void NativeFocus(void* native) {
  if (FakeNative* n = Get(native)) g_focus = n;
}

void ProcessWaitingMessages() { ++g_pumps; }

void DefaultGuiFont(std::uint8_t (&record)[kFontRecordSize]) {
  // Height -12, weight 400, a face name: enough to tell it from a unit's own font.
  std::memset(record, 0, sizeof record);
  const std::int32_t height = -12, weight = 400;
  std::memcpy(record, &height, 4);
  std::memcpy(record + 16, &weight, 4);
  std::memcpy(record + 28, "Default", 8);
}

}  // namespace unitplatform

}  // namespace bv
