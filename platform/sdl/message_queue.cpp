// The message queue on SDL2's event queue. peekMessage never waits: it hands
// out messages the program posted, then translates SDL events one at a time,
// passing over events the program has no message for, and hands out WM_QUIT
// only once nothing else is queued. waitMessage sleeps in SDL's own wait.
//
// Translated: window close requests, SDL's quit request and the close
// signals (SIGINT, SIGTERM, SIGHUP) become WM_CLOSE for the window; changes
// of size, minimizing, maximizing and restoring become WM_SIZE with the
// window's state and size at the time the message is taken; losing the
// keyboard focus becomes WM_KILLFOCUS; key
// presses, auto-repeats included, become WM_KEYDOWN and releases WM_KEYUP,
// with virtual-key codes. With NumLock off the keypad's navigation keys give
// the codes of the dedicated keys, as on the desktop API; with it on they give
// nothing here (the digit codes are not provided). Keys without a virtual-key
// code here (media keys and the like) are passed over. The pointer's motion
// and the left and right buttons become the mouse messages with the window's
// coordinates, the wheel WM_MOUSEWHEEL in WHEEL_DELTA steps; other buttons
// are passed over.
#include <algorithm>
#include <cmath>
#include <deque>

#include "platform/sdl/close_signals.h"
#include "platform/sdl/window_table.h"

namespace {

std::deque<Message> postedMessages;
bool quitPosted = false;
int quitCode = 0;

uint32_t keypadKeyFor(SDL_Keycode key) {
  switch (key) {
    case SDLK_KP_9: return VK_PRIOR;
    case SDLK_KP_3: return VK_NEXT;
    case SDLK_KP_1: return VK_END;
    case SDLK_KP_7: return VK_HOME;
    case SDLK_KP_4: return VK_LEFT;
    case SDLK_KP_8: return VK_UP;
    case SDLK_KP_6: return VK_RIGHT;
    case SDLK_KP_2: return VK_DOWN;
    case SDLK_KP_0: return VK_INSERT;
    case SDLK_KP_PERIOD: return VK_DELETE;
    default: return 0;
  }
}

uint32_t virtualKeyFor(const SDL_Keysym& keysym) {
  SDL_Keycode key = keysym.sym;
  if ((keysym.mod & KMOD_NUM) == 0) {
    uint32_t keypadCode = keypadKeyFor(key);
    if (keypadCode != 0) return keypadCode;
  }
  if (key >= SDLK_a && key <= SDLK_z) return static_cast<uint32_t>('A' + (key - SDLK_a));
  if (key >= SDLK_0 && key <= SDLK_9) return static_cast<uint32_t>('0' + (key - SDLK_0));
  if (key >= SDLK_F1 && key <= SDLK_F12) return VK_F1 + static_cast<uint32_t>(key - SDLK_F1);
  switch (key) {
    case SDLK_BACKSPACE: return VK_BACK;
    case SDLK_TAB: return VK_TAB;
    case SDLK_RETURN: return VK_RETURN;
    case SDLK_ESCAPE: return VK_ESCAPE;
    case SDLK_SPACE: return VK_SPACE;
    case SDLK_PAGEUP: return VK_PRIOR;
    case SDLK_PAGEDOWN: return VK_NEXT;
    case SDLK_END: return VK_END;
    case SDLK_HOME: return VK_HOME;
    case SDLK_LEFT: return VK_LEFT;
    case SDLK_UP: return VK_UP;
    case SDLK_RIGHT: return VK_RIGHT;
    case SDLK_DOWN: return VK_DOWN;
    case SDLK_INSERT: return VK_INSERT;
    case SDLK_DELETE: return VK_DELETE;
    case SDLK_LSHIFT: case SDLK_RSHIFT: return VK_SHIFT;
    case SDLK_LCTRL: case SDLK_RCTRL: return VK_CONTROL;
    case SDLK_LALT: case SDLK_RALT: return VK_MENU;
    default: return 0;
  }
}

// WM_SIZE as the desktop API sends it: a minimized window's size is 0 by 0.
Message sizeMessage(PlatformWindow* window) {
  const uint32_t flags = SDL_GetWindowFlags(window->sdlWindow);
  if ((flags & SDL_WINDOW_MINIMIZED) != 0) return Message{window, WM_SIZE, SIZE_MINIMIZED, 0};
  int width = 0, height = 0;
  SDL_GetWindowSize(window->sdlWindow, &width, &height);
  const uintptr_t how = (flags & SDL_WINDOW_MAXIMIZED) != 0 ? SIZE_MAXIMIZED : SIZE_RESTORED;
  const uint32_t size =
      static_cast<uint32_t>(height & 0xFFFF) << 16 | static_cast<uint32_t>(width & 0xFFFF);
  return Message{window, WM_SIZE, how, static_cast<intptr_t>(size)};
}

// A point as the desktop API packs it: x in the low word, y in the high,
// each a signed 16-bit value.
intptr_t pointParam(int x, int y) {
  return static_cast<intptr_t>(static_cast<uint32_t>(static_cast<uint16_t>(y)) << 16 |
                               static_cast<uint16_t>(x));
}

bool translateMouseEvent(const SDL_Event& event, Message& message) {
  if (event.type == SDL_MOUSEMOTION) {
    PlatformWindow* window = windowForSdlId(event.motion.windowID);
    if (window == nullptr) return false;
    uintptr_t held = 0;
    if ((event.motion.state & SDL_BUTTON_LMASK) != 0) held |= MK_LBUTTON;
    if ((event.motion.state & SDL_BUTTON_RMASK) != 0) held |= MK_RBUTTON;
    message = Message{window, WM_MOUSEMOVE, held, pointParam(event.motion.x, event.motion.y)};
    return true;
  }
  if (event.type == SDL_MOUSEWHEEL) {
    PlatformWindow* window = windowForSdlId(event.wheel.windowID);
    const float flip = event.wheel.direction == SDL_MOUSEWHEEL_FLIPPED ? -1.0f : 1.0f;
    const long delta = std::lround(flip * event.wheel.preciseY * WHEEL_DELTA);
    if (window == nullptr || delta == 0) return false;
    int x = 0, y = 0;
    SDL_GetGlobalMouseState(&x, &y);
    const auto high = static_cast<uint16_t>(std::max(-32768L, std::min(delta, 32767L)));
    message = Message{window, WM_MOUSEWHEEL, uintptr_t{high} << 16, pointParam(x, y)};
    return true;
  }
  const SDL_MouseButtonEvent& button = event.button;
  PlatformWindow* window = windowForSdlId(button.windowID);
  if (window == nullptr || (button.button != SDL_BUTTON_LEFT && button.button != SDL_BUTTON_RIGHT))
    return false;
  const bool down = event.type == SDL_MOUSEBUTTONDOWN;
  const uint32_t code = button.button == SDL_BUTTON_LEFT ? (down ? WM_LBUTTONDOWN : WM_LBUTTONUP)
                                                         : (down ? WM_RBUTTONDOWN : WM_RBUTTONUP);
  message = Message{window, code, 0, pointParam(button.x, button.y)};
  return true;
}

// Turns one SDL event into a message; false for events the program has no
// message for.
bool translateEvent(const SDL_Event& event, Message& message) {
  switch (event.type) {
    case SDL_QUIT: {
      PlatformWindow* window = firstLiveWindow();
      if (window == nullptr) return false;
      message = Message{window, WM_CLOSE, 0, 0};
      return true;
    }
    case SDL_WINDOWEVENT: {
      PlatformWindow* window = windowForSdlId(event.window.windowID);
      if (window == nullptr) return false;
      if (event.window.event == SDL_WINDOWEVENT_CLOSE) {
        message = Message{window, WM_CLOSE, 0, 0};
        return true;
      }
      // A window this one has replaced (see remakeWindow) says nothing about it.
      if (event.window.windowID != SDL_GetWindowID(window->sdlWindow)) return false;
      switch (event.window.event) {
        case SDL_WINDOWEVENT_FOCUS_LOST:
          message = Message{window, WM_KILLFOCUS, 0, 0};
          return true;
        case SDL_WINDOWEVENT_SIZE_CHANGED:
        case SDL_WINDOWEVENT_MINIMIZED:
        case SDL_WINDOWEVENT_MAXIMIZED:
        case SDL_WINDOWEVENT_RESTORED:
          message = sizeMessage(window);
          return true;
        default:
          return false;
      }
    }
    case SDL_KEYDOWN:
    case SDL_KEYUP: {
      PlatformWindow* window = windowForSdlId(event.key.windowID);
      if (window == nullptr) window = firstLiveWindow();
      uint32_t code = virtualKeyFor(event.key.keysym);
      if (window == nullptr || code == 0) return false;
      bool down = event.type == SDL_KEYDOWN;
      // As the desktop API does: bit 30 says the key was already down, bit 31 that it is going up.
      intptr_t flags = 1;
      if (!down || event.key.repeat != 0) flags |= intptr_t{1} << 30;
      if (!down) flags |= intptr_t{1} << 31;
      message = Message{window, down ? WM_KEYDOWN : WM_KEYUP, code, flags};
      return true;
    }
    case SDL_MOUSEMOTION:
    case SDL_MOUSEBUTTONDOWN:
    case SDL_MOUSEBUTTONUP:
    case SDL_MOUSEWHEEL:
      return translateMouseEvent(event, message);
    default:
      return false;
  }
}

}  // namespace

bool peekMessage(Message& message) {
  if (!postedMessages.empty()) {
    message = postedMessages.front();
    postedMessages.pop_front();
    return true;
  }
  if (startVideo()) {
    SDL_Event event;
    while (SDL_PollEvent(&event) != 0)
      if (translateEvent(event, message)) return true;
  }
  PlatformWindow* closing = firstLiveWindow();
  if (closing != nullptr && takeCloseSignal()) {
    message = Message{closing, WM_CLOSE, 0, 0};
    return true;
  }
  if (quitPosted) {
    quitPosted = false;
    message = Message{nullptr, WM_QUIT, static_cast<uintptr_t>(quitCode), 0};
    return true;
  }
  return false;
}

void waitMessage() {
  if (!postedMessages.empty() || quitPosted || !startVideo()) return;
  // SDL's wait cannot watch the close signals' pipe: the timeout bounds how
  // long a signal waits to be taken.
  constexpr int closeSignalLatencyMs = 100;
  SDL_WaitEventTimeout(nullptr, closeSignalLatencyMs);
}

void translateMessage(const Message&) {
  // Character messages are not provided; nothing to add.
}

intptr_t dispatchMessage(const Message& message) {
  PlatformWindow* window = message.window;
  if (window == nullptr || window->sdlWindow == nullptr || window->procedure == nullptr) return 0;
  return window->procedure(window, message.message, message.wParam, message.lParam);
}

intptr_t defWindowProc(WindowHandle window, uint32_t message, uintptr_t, intptr_t) {
  if (message == WM_CLOSE) destroyWindow(window);
  return 0;
}

void postQuitMessage(int exitCode) {
  quitPosted = true;
  quitCode = exitCode;
}

bool postMessage(WindowHandle window, uint32_t message, uintptr_t wParam, intptr_t lParam) {
  if (message == WM_QUIT) {
    postQuitMessage(static_cast<int>(wParam));
    return true;
  }
  if (window == nullptr || window->sdlWindow == nullptr) return false;
  postedMessages.push_back(Message{window, message, wParam, lParam});
  return true;
}
