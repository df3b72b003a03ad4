// The container side of control hosting: the container-facing base that
// holds a control's enabled flag, and the services a container gives a
// control it has sited (property-changed notification, event delivery,
// the notice that the control was hidden).
#pragma once

#include <cstdint>
#include <string_view>

namespace quillfern::platform {

// What a container offers the controls it sites.
class Container {
 public:
  virtual ~Container() = default;
  // A named property of the control changed: the container marks the
  // control's persisted state as changed.
  virtual void property_changed(std::string_view name) = 0;
  // The control raised an event of its event interface.
  virtual void event_raised(std::int32_t dispid, std::string_view name) = 0;
};

// The part of a control that its container manages. The enabled flag lives
// here; a control reads and writes it through this base and keeps no copy.
class ControlBase {
 public:
  explicit ControlBase(Container* container = nullptr) noexcept : container_(container) {}
  virtual ~ControlBase() = default;
  ControlBase(const ControlBase&) = delete;
  ControlBase& operator=(const ControlBase&) = delete;

  [[nodiscard]] bool base_enabled() const noexcept { return enabled_; }
  void set_base_enabled(bool value) noexcept { enabled_ = value; }

  [[nodiscard]] Container* container() const noexcept { return container_; }

  // The container's notice that the control has been hidden.
  void hidden() { on_hidden(); }

 protected:
  void property_changed(std::string_view name) {
    if (container_ != nullptr) container_->property_changed(name);
  }
  void raise_event(std::int32_t dispid, std::string_view name) {
    if (container_ != nullptr) container_->event_raised(dispid, name);
  }
  virtual void on_hidden() {}

 private:
  Container* container_;
  bool enabled_ = true;  // a new control starts enabled
};

}  // namespace quillfern::platform
