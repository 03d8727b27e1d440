// SPDX-License-Identifier: MIT
#include "sim/window/app.h"

#include <SDL.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <iostream>
#include <memory>

namespace window {

namespace {

// Host frames flown in one pass of the loop at most: a machine that falls
// behind (a window dragged, a debugger stop) skips ahead instead of racing.
constexpr int kMaxCatchUpFrames = 8;
// The longest the loop sleeps waiting for input before looking at the clock.
constexpr int kMaxWaitMs = 50;

double axis(SDL_GameController* pad, SDL_GameControllerAxis which) {
    return static_cast<double>(SDL_GameControllerGetAxis(pad, which)) / 32767.0;
}

// The first game controller SDL can open, or null.
SDL_GameController* openController() {
    for (int i = 0; i < SDL_NumJoysticks(); ++i) {
        if (SDL_IsGameController(i)) {
            if (SDL_GameController* pad = SDL_GameControllerOpen(i)) {
                return pad;
            }
        }
    }
    return nullptr;
}

std::string controllerName(SDL_GameController* pad) {
    const char* name = pad != nullptr ? SDL_GameControllerName(pad) : nullptr;
    return name != nullptr ? name : "game controller";
}

class Output {
public:
    bool open(const std::string& path) {
        if (path.empty())
            return true;
        if (path == "-") {
            out_ = &std::cout;
            return true;
        }
        file_.open(path, std::ios::trunc);
        out_ = &file_;
        return static_cast<bool>(file_);
    }
    void line(const std::string& text) {
        if (out_ != nullptr) {
            *out_ << text << '\n';
            out_->flush();
        }
    }

private:
    std::ofstream file_;
    std::ostream* out_ = nullptr;
};

struct Screen {
    SDL_Window* window = nullptr;
    SDL_Renderer* renderer = nullptr;
    SDL_Texture* texture = nullptr;
    cairo_surface_t* surface = nullptr;
    cairo_t* cr = nullptr;

    ~Screen() {
        release();
        if (renderer != nullptr)
            SDL_DestroyRenderer(renderer);
        if (window != nullptr)
            SDL_DestroyWindow(window);
    }

    void release() {
        if (cr != nullptr)
            cairo_destroy(cr);
        if (surface != nullptr)
            cairo_surface_destroy(surface);
        if (texture != nullptr)
            SDL_DestroyTexture(texture);
        cr = nullptr;
        surface = nullptr;
        texture = nullptr;
    }

    // The picture's surfaces for a layout of w x h.
    bool size(int w, int h, std::string& error) {
        if (surface != nullptr && cairo_image_surface_get_width(surface) == w
            && cairo_image_surface_get_height(surface) == h) {
            return true;
        }
        release();
        texture = SDL_CreateTexture(renderer, SDL_PIXELFORMAT_ARGB8888, SDL_TEXTUREACCESS_STREAMING, w, h);
        if (texture == nullptr) {
            error = std::string("cannot make the window's picture: ") + SDL_GetError();
            return false;
        }
        surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, w, h);
        cr = cairo_create(surface);
        SDL_RenderSetLogicalSize(renderer, w, h);
        SDL_SetWindowMinimumSize(window, std::max(1, w / 4), std::max(1, h / 4));
        return true;
    }

    void present() {
        cairo_surface_flush(surface);
        SDL_UpdateTexture(texture, nullptr, cairo_image_surface_get_data(surface),
                          cairo_image_surface_get_stride(surface));
        SDL_SetRenderDrawColor(renderer, 16, 16, 20, 255);
        SDL_RenderClear(renderer);
        SDL_RenderCopy(renderer, texture, nullptr, nullptr);
        SDL_RenderPresent(renderer);
    }
};

// Processor time used, s: a frame's own work, apart from what other
// programs on a busy machine take.
double cpuSeconds(clockid_t clock) {
    timespec t{};
    clock_gettime(clock, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

double threadSeconds() {
    return cpuSeconds(CLOCK_THREAD_CPUTIME_ID);
}

// The whole program's, for its share of a core.
double processSeconds() {
    return cpuSeconds(CLOCK_PROCESS_CPUTIME_ID);
}

}  // namespace

bool hasDisplay(const char* x11, const char* wayland, const char* requested) {
    const auto set = [](const char* value) { return value != nullptr && *value != '\0'; };
    return set(x11) || set(wayland) || set(requested);
}

bool headlessDriverAllowed(const std::string& driver, const char* requested) {
    if (driver != "offscreen" && driver != "dummy" && driver != "evdev") {
        return !driver.empty();
    }
    return requested != nullptr && driver == requested;
}

int runApp(const AppOptions& options) {
    LiveSession session;
    std::string error;
    if (!session.start(options.live, error)) {
        std::cerr << "hoverwin: " << error << "\n";
        return kExitCannotRun;
    }
    // SDL finds no display: one line, no window, nothing flown. Without a
    // display SDL may fall back on a driver that shows nothing (offscreen,
    // dummy); only a user who asks for one by SDL_VIDEODRIVER gets it.
    const char* requested = std::getenv("SDL_VIDEODRIVER");
    if (!hasDisplay(std::getenv("DISPLAY"), std::getenv("WAYLAND_DISPLAY"), requested)) {
        std::cerr << "hoverwin: no display: neither DISPLAY nor WAYLAND_DISPLAY is set\n";
        return kExitCannotRun;
    }
    if (SDL_Init(SDL_INIT_VIDEO | SDL_INIT_EVENTS) != 0) {
        std::cerr << "hoverwin: no display: " << SDL_GetError() << "\n";
        return kExitCannotRun;
    }
    struct Quit {
        ~Quit() { SDL_Quit(); }
    } quitSdl;
    const char* driver = SDL_GetCurrentVideoDriver();
    const std::string driverName = driver != nullptr ? driver : "";
    if (!headlessDriverAllowed(driverName, requested)) {
        std::cerr << "hoverwin: no display (no X11 or Wayland display found; SDL offers only '" << driverName
                  << "')\n";
        return kExitCannotRun;
    }

    Output state;
    if (!state.open(options.stateOut)) {
        std::cerr << "hoverwin: cannot write " << options.stateOut << "\n";
        return kExitCannotRun;
    }

    Screen screen;
    const Layout* layout = &session.layout();
    screen.window = SDL_CreateWindow("hoverwin", SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED,
                                     layout->width, layout->height, SDL_WINDOW_RESIZABLE);
    if (screen.window == nullptr) {
        std::cerr << "hoverwin: no window: " << SDL_GetError() << "\n";
        return kExitCannotRun;
    }
    // The frames are paced by the host's clock, not the screen's refresh: no
    // waiting for vertical sync.
    screen.renderer = SDL_CreateRenderer(screen.window, -1, 0);
    if (screen.renderer == nullptr) {
        screen.renderer = SDL_CreateRenderer(screen.window, -1, SDL_RENDERER_SOFTWARE);
    }
    if (screen.renderer == nullptr) {
        std::cerr << "hoverwin: no renderer: " << SDL_GetError() << "\n";
        return kExitCannotRun;
    }
    if (!screen.size(layout->width, layout->height, error)) {
        std::cerr << "hoverwin: " << error << "\n";
        return kExitCannotRun;
    }
    for (const std::string& line : session.layoutLines())
        state.line(line);

    // Game controllers are optional: without the subsystem or a controller
    // the keyboard flies alone.
    SDL_GameController* pad = nullptr;
    if (SDL_InitSubSystem(SDL_INIT_GAMECONTROLLER) != 0) {
        session.say(std::string("no game controllers: ") + SDL_GetError() + "; the keyboard flies");
    } else if ((pad = openController()) != nullptr) {
        session.controllerChanged(controllerName(pad));
    } else {
        session.say("no game controller found: the keyboard flies (one plugged in later is taken)");
    }

    double speed = options.speed;
    using Clock = std::chrono::steady_clock;
    Clock::time_point anchor = Clock::now();
    int64_t framesSinceAnchor = 0;
    bool visible = true;
    bool redraw = true;
    bool running = true;
    bool summaryPrinted = false;
    double nextStateS = 0.0;
    double frameSeconds = 0.0;  // step and drawing time, summed
    double frameCpuSeconds = 0.0;
    int64_t framesTimed = 0;
    const double cpuAtStart = processSeconds();
    const auto wallAtStart = Clock::now();

    const auto reanchor = [&] {
        anchor = Clock::now();
        framesSinceAnchor = 0;
    };

    while (running) {
        // Input since the last pass.
        SDL_Event event;
        const int fps = session.framesPerSecond();
        const double due = std::chrono::duration<double>(Clock::now() - anchor).count() * fps * speed;
        const double untilNext = (static_cast<double>(framesSinceAnchor) + 1.0 - due) / (fps * speed);
        const int waitMs =
            std::clamp(static_cast<int>(std::ceil(std::max(0.0, untilNext) * 1000.0)), 0, kMaxWaitMs);
        bool haveEvent = SDL_WaitEventTimeout(&event, waitMs) != 0;
        while (haveEvent) {
            switch (event.type) {
            case SDL_QUIT:
                running = false;
                break;
            case SDL_WINDOWEVENT:
                if (event.window.event == SDL_WINDOWEVENT_MINIMIZED
                    || event.window.event == SDL_WINDOWEVENT_HIDDEN) {
                    visible = false;
                } else if (event.window.event == SDL_WINDOWEVENT_RESTORED
                           || event.window.event == SDL_WINDOWEVENT_SHOWN
                           || event.window.event == SDL_WINDOWEVENT_EXPOSED
                           || event.window.event == SDL_WINDOWEVENT_SIZE_CHANGED) {
                    int w = 0;
                    int h = 0;
                    SDL_GetWindowSize(screen.window, &w, &h);
                    // A window resized to nothing shows nothing but flies on.
                    visible = w > 0 && h > 0;
                    redraw = true;
                }
                break;
            case SDL_MOUSEBUTTONDOWN:
                if (event.button.button == SDL_BUTTON_LEFT) {
                    session.mouseDown(event.button.x, event.button.y);
                }
                break;
            case SDL_MOUSEBUTTONUP:
                if (event.button.button == SDL_BUTTON_LEFT) {
                    session.mouseUp();
                }
                break;
            case SDL_CONTROLLERDEVICEADDED:
                if (pad == nullptr && (pad = SDL_GameControllerOpen(event.cdevice.which)) != nullptr) {
                    session.controllerChanged(controllerName(pad));
                }
                break;
            case SDL_CONTROLLERDEVICEREMOVED:
                if (pad != nullptr
                    && SDL_JoystickInstanceID(SDL_GameControllerGetJoystick(pad)) == event.cdevice.which) {
                    SDL_GameControllerClose(pad);
                    pad = openController();
                    session.controllerChanged(pad != nullptr ? controllerName(pad) : "");
                }
                break;
            case SDL_KEYDOWN: {
                if (event.key.repeat != 0)
                    break;
                const bool shift = (event.key.keysym.mod & KMOD_SHIFT) != 0;
                switch (event.key.keysym.sym) {
                case SDLK_ESCAPE:
                    running = false;
                    break;
                case SDLK_SPACE:
                    session.togglePause();
                    break;
                case SDLK_1:
                    speed = 0.25;
                    reanchor();
                    break;
                case SDLK_2:
                    speed = 1.0;
                    reanchor();
                    break;
                case SDLK_3:
                    speed = 4.0;
                    reanchor();
                    break;
                case SDLK_r:
                    if (!summaryPrinted)
                        session.printSummary(std::cout);
                    session.restart();
                    summaryPrinted = false;
                    nextStateS = 0.0;
                    for (const std::string& line : session.layoutLines())
                        state.line(line);
                    reanchor();
                    break;
                case SDLK_w:
                    session.changeWind(shift ? -5.0 : 5.0, 0.0);
                    break;
                case SDLK_d:
                    session.changeWind(0.0, shift ? -30.0 : 30.0);
                    break;
                case SDLK_t:
                    session.nextTurbulence();
                    break;
                case SDLK_f:
                    session.toggleFailure21();
                    break;
                case SDLK_n:
                    session.toggleNight();
                    break;
                case SDLK_j:
                    session.toggleAssignment();
                    break;
                case SDLK_F12: {
                    char name[64];
                    std::snprintf(name, sizeof name, "/hoverwin_%07.1fs.png", session.hostTime());
                    std::string pictureError;
                    const std::string path = options.pictureDir + name;
                    if (session.writePicture(path, speed, pictureError)) {
                        session.say("wrote " + path);
                    } else {
                        session.say(pictureError);
                    }
                    redraw = true;
                    break;
                }
                default:
                    break;
                }
                break;
            }
            default:
                break;
            }
            haveEvent = SDL_PollEvent(&event) != 0;
        }
        for (const std::string& message : session.takeMessages()) {
            std::cerr << "hoverwin: " << message << "\n";
        }
        if (!running)
            break;

        // The keys held and the controller, read once per pass.
        const Uint8* keys = SDL_GetKeyboardState(nullptr);
        PilotKeys held;
        held.forward = keys[SDL_SCANCODE_UP] != 0;
        held.back = keys[SDL_SCANCODE_DOWN] != 0;
        held.left = keys[SDL_SCANCODE_LEFT] != 0;
        held.right = keys[SDL_SCANCODE_RIGHT] != 0;
        held.pedalLeft = keys[SDL_SCANCODE_Z] != 0;
        held.pedalRight = keys[SDL_SCANCODE_X] != 0;
        held.collectiveUp = keys[SDL_SCANCODE_PAGEUP] != 0;
        held.collectiveDown = keys[SDL_SCANCODE_PAGEDOWN] != 0;
        ControllerState controller;
        if (pad != nullptr && SDL_GameControllerGetAttached(pad) == SDL_TRUE) {
            controller.present = true;
            controller.leftX = axis(pad, SDL_CONTROLLER_AXIS_LEFTX);
            controller.leftY = axis(pad, SDL_CONTROLLER_AXIS_LEFTY);
            controller.rightX = axis(pad, SDL_CONTROLLER_AXIS_RIGHTX);
            controller.rightY = axis(pad, SDL_CONTROLLER_AXIS_RIGHTY);
            controller.leftTrigger = axis(pad, SDL_CONTROLLER_AXIS_TRIGGERLEFT);
            controller.rightTrigger = axis(pad, SDL_CONTROLLER_AXIS_TRIGGERRIGHT);
            controller.buttonA = SDL_GameControllerGetButton(pad, SDL_CONTROLLER_BUTTON_A) != 0;
            controller.buttonB = SDL_GameControllerGetButton(pad, SDL_CONTROLLER_BUTTON_B) != 0;
        }

        // The host frames due by the clock.
        const double nowDue = std::chrono::duration<double>(Clock::now() - anchor).count() * fps * speed;
        int stepped = 0;
        while (static_cast<double>(framesSinceAnchor) + 1.0 <= nowDue && running) {
            if (stepped == kMaxCatchUpFrames) {
                reanchor();
                break;
            }
            const auto started = Clock::now();
            const double cpuStarted = threadSeconds();
            session.frame(held, controller);
            frameSeconds += std::chrono::duration<double>(Clock::now() - started).count();
            frameCpuSeconds += threadSeconds() - cpuStarted;
            ++framesTimed;
            ++framesSinceAnchor;
            ++stepped;
            if (session.hostTime() + 1e-9 >= nextStateS) {
                state.line(session.stateLine());
                for (const std::string& line : session.pictureLines())
                    state.line(line);
                nextStateS += 1.0;
            }
            if (session.scenarioOver() && !summaryPrinted) {
                session.printSummary(std::cout);
                summaryPrinted = true;
                session.say("the scenario's time is up: flying on; Esc quits, R restarts");
            }
            if (options.quitAfterS > 0.0 && session.hostTime() + 1e-9 >= options.quitAfterS) {
                running = false;
            }
        }
        if ((stepped > 0 || redraw) && visible) {
            const auto started = Clock::now();
            const double cpuStarted = threadSeconds();
            session.draw(screen.cr, speed);
            screen.present();
            frameSeconds += std::chrono::duration<double>(Clock::now() - started).count();
            frameCpuSeconds += threadSeconds() - cpuStarted;
            redraw = false;
        }
    }
    if (!summaryPrinted) {
        session.printSummary(std::cout);
    }
    if (framesTimed > 0) {
        const double n = static_cast<double>(framesTimed);
        const double wall = std::chrono::duration<double>(Clock::now() - wallAtStart).count();
        std::printf(
            "frame time: %.2f ms on average (%.2f ms of processor time) over %lld host frames "
            "(simulation, callbacks, drawing, copy to the screen)\n",
            frameSeconds * 1000.0 / n, frameCpuSeconds * 1000.0 / n, static_cast<long long>(framesTimed));
        if (wall > 0.0) {
            std::printf("processor use: %.1f %% of one core over %.1f s\n",
                        (processSeconds() - cpuAtStart) / wall * 100.0, wall);
        }
    }
    if (pad != nullptr)
        SDL_GameControllerClose(pad);
    return session.allHeld() ? kExitOk : kExitExpectationFailed;
}

}  // namespace window
