#include "record/sound_server.h"

#include <pulse/context.h>
#include <pulse/introspect.h>
#include <pulse/mainloop.h>

#include <chrono>

namespace mv {

namespace {

struct Asking {
  ServerAnswer answer;
  bool done = false;
};

void serverInfo(pa_context*, const pa_server_info* info, void* userdata) {
  auto* asking = static_cast<Asking*>(userdata);
  if (info) {
    asking->answer.answered = true;
    if (info->default_source_name) asking->answer.defaultSource = info->default_source_name;
  }
  asking->done = true;
}

}  // namespace

ServerAnswer AskSoundServer(int timeoutMs) {
  using Clock = std::chrono::steady_clock;
  const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
  Asking asking;
  pa_mainloop* loop = pa_mainloop_new();
  if (!loop) return {};
  pa_context* context = pa_context_new(pa_mainloop_get_api(loop), "Morvane");
  pa_operation* operation = nullptr;
  if (context && pa_context_connect(context, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) >= 0) {
    while (!asking.done) {
      const auto left = std::chrono::duration_cast<std::chrono::microseconds>(deadline - Clock::now()).count();
      if (left <= 0) break;
      const pa_context_state_t state = pa_context_get_state(context);
      if (!PA_CONTEXT_IS_GOOD(state)) break;
      if (state == PA_CONTEXT_READY && !operation) {
        operation = pa_context_get_server_info(context, serverInfo, &asking);
        if (!operation) break;
      }
      if (pa_mainloop_prepare(loop, static_cast<int>(left)) < 0 || pa_mainloop_poll(loop) < 0 ||
          pa_mainloop_dispatch(loop) < 0)
        break;
    }
  }
  if (operation) {
    pa_operation_cancel(operation);
    pa_operation_unref(operation);
  }
  if (context) {
    pa_context_disconnect(context);
    pa_context_unref(context);
  }
  pa_mainloop_free(loop);
  return asking.answer;
}

}  // namespace mv

#include <pulse/subscribe.h>
#include <pulse/thread-mainloop.h>

namespace mv {

struct SourceWatch::State {
  std::string source;
  std::function<void()> gone;
  pa_threaded_mainloop* loop = nullptr;
  pa_context* context = nullptr;
  uint32_t index = PA_INVALID_INDEX;
  bool told = false;

  void tell() {
    if (told) return;
    told = true;
    gone();
  }
};

namespace {

void sourceFound(pa_context*, const pa_source_info* info, int eol, void* userdata) {
  auto* s = static_cast<SourceWatch::State*>(userdata);
  if (info) s->index = info->index;
  if (eol && s->index == PA_INVALID_INDEX) s->tell();
}

void sourceEvent(pa_context*, pa_subscription_event_type_t type, uint32_t index, void* userdata) {
  auto* s = static_cast<SourceWatch::State*>(userdata);
  const auto facility = type & PA_SUBSCRIPTION_EVENT_FACILITY_MASK;
  const auto kind = type & PA_SUBSCRIPTION_EVENT_TYPE_MASK;
  if (facility == PA_SUBSCRIPTION_EVENT_SOURCE && kind == PA_SUBSCRIPTION_EVENT_REMOVE && index == s->index)
    s->tell();
}

void contextChanged(pa_context* context, void* userdata) {
  auto* s = static_cast<SourceWatch::State*>(userdata);
  switch (pa_context_get_state(context)) {
    case PA_CONTEXT_READY: {
      pa_context_set_subscribe_callback(context, sourceEvent, s);
      if (pa_operation* o = pa_context_subscribe(context, PA_SUBSCRIPTION_MASK_SOURCE, nullptr, nullptr))
        pa_operation_unref(o);
      if (pa_operation* o = pa_context_get_source_info_by_name(context, s->source.c_str(), sourceFound, s))
        pa_operation_unref(o);
      break;
    }
    case PA_CONTEXT_FAILED:
    case PA_CONTEXT_TERMINATED:
      s->tell();
      break;
    default:
      break;
  }
}

}  // namespace

SourceWatch::SourceWatch(const std::string& source, std::function<void()> gone)
    : state_(std::make_unique<State>()) {
  state_->source = source;
  state_->gone = std::move(gone);
  state_->loop = pa_threaded_mainloop_new();
  if (!state_->loop) return;
  state_->context = pa_context_new(pa_threaded_mainloop_get_api(state_->loop), "Morvane");
  if (!state_->context) return;
  pa_context_set_state_callback(state_->context, contextChanged, state_.get());
  // A watch that cannot connect watches nothing: the capture's own signs
  // (no data, Qt's errors) still end a recording.
  if (pa_context_connect(state_->context, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0) return;
  pa_threaded_mainloop_start(state_->loop);
}

SourceWatch::~SourceWatch() {
  if (!state_->loop) return;
  // The loop's thread is stopped before its objects go, in that order.
  pa_threaded_mainloop_stop(state_->loop);
  if (state_->context) {
    pa_context_set_state_callback(state_->context, nullptr, nullptr);
    pa_context_set_subscribe_callback(state_->context, nullptr, nullptr);
    pa_context_disconnect(state_->context);
    pa_context_unref(state_->context);
  }
  pa_threaded_mainloop_free(state_->loop);
}

}  // namespace mv
