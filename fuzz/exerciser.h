// SPDX-License-Identifier: MIT
// Its own callbacks on the shared walk and table: it checks promises (records untouched, value ranges, fences) no other host does.
//
// A hostile host for the module. It drives the module only the way the flight
// simulator does, through the records the module exports (the linkage, the
// gauge header with its service callback, mouse table and element tree, and
// the function table written into ImportTable), but lets a random source
// choose every value, order and time step, and checks after every call that
// the module kept its promises. The fuzz targets feed it the fuzzer's bytes,
// the soak program an endless pseudo-random stream.
#ifndef HOVER_FUZZ_EXERCISER_H
#define HOVER_FUZZ_EXERCISER_H

#include <cstddef>
#include <cstdint>
#include <string>

#include "sdk/gauge_sdk.h"
#include "sdk/host_table.h"

namespace exercise {

// Where the choices come from.
class Source {
public:
    virtual ~Source() = default;
    // The next byte; 0 once a finite source has run dry.
    virtual uint8_t byte() = 0;
    virtual bool exhausted() const = 0;

    uint16_t word16();
    uint32_t word32();
    uint64_t word64();
    // 0 .. n-1, for n >= 1.
    uint32_t below(uint32_t n);
    // True in about `outOf256` of 256 cases.
    bool chance(uint32_t outOf256);
    // lo .. hi in 65536 steps, both ends included.
    double between(double lo, double hi);
};

// The fuzzer's input, byte by byte.
class ByteSource final : public Source {
public:
    ByteSource(const uint8_t* data, size_t size) : data_(data), size_(size) {}
    uint8_t byte() override;
    bool exhausted() const override { return position_ >= size_; }

private:
    const uint8_t* data_;
    size_t size_;
    size_t position_ = 0;
};

// An endless, reproducible stream (splitmix64).
class RandomSource final : public Source {
public:
    explicit RandomSource(uint64_t seed) : state_(seed) {}
    uint8_t byte() override;
    bool exhausted() const override { return false; }

private:
    uint64_t next();
    uint64_t state_;
    uint64_t buffered_ = 0;
    int bufferedBytes_ = 0;
};

// Reports a broken promise on stderr and aborts, so that libFuzzer keeps the
// input and a soak run ends with a failure.
[[noreturn]] void fail(const char* format, ...) __attribute__((format(printf, 1, 2)));

// A double that a broken or hostile host might hand over: a NaN, an
// infinity, an extreme of the range, a subnormal, a signed zero, a value
// just beyond a readout's width, or any bit pattern at all.
double wildDouble(Source& source);

// A parameter string a panel designer, a typo or a hostile file might give.
std::string randomParameterString(Source& source);

// What an exerciser has done so far.
struct Counters {
    uint64_t steps = 0;
    uint64_t frames = 0;
    uint64_t engagedFrames = 0;
    uint64_t services = 0;
    uint64_t preInstalls = 0;
    uint64_t clicks = 0;
    uint64_t draws = 0;
    uint64_t callbacks = 0;
    uint64_t texts = 0;
    uint64_t reads = 0;       // host readings the module asked for
    uint64_t values = 0;      // values handed over, readings and element slots
    uint64_t wildValues = 0;  // of those, NaNs, infinities, extremes and any bit pattern
    uint64_t events = 0;
    uint64_t joystickScripts = 0;
};

// How the random actions are weighted.
enum class Profile {
    kFrames,    // frames, clicks, draws and every service, with the odd joystick fault
    kJoystick,  // the joystick's platform calls failing and reading anything, around frames
    kPilot,     // frames with the hold engaged: the pilot re-engages whenever it drops
};

class Exerciser {
public:
    // Installs the fake host's function table into ImportTable and finds the
    // gauge through Linkage, as the host does after loading the module.
    Exerciser(Source& source, Profile profile);
    ~Exerciser();
    Exerciser(const Exerciser&) = delete;
    Exerciser& operator=(const Exerciser&) = delete;

    // One random thing the host or the pilot does, then the state check.
    void step();

    // The host's frame: the pre-update service, then a draw of the gauge.
    void frame();
    void drawGauge();
    void click();
    void preInstall();
    // The pre-install service with this parameter string (null: none).
    void preInstall(const char* text);
    void service(uint32_t code);
    void scriptJoystick();

    void setProfile(Profile profile) { profile_ = profile; }

    // While set, every host value is a plausible finite one, the time moves
    // on by a sane step, and the host's table is in place.
    void setFiniteInputs(bool finite);

    // The pilot switches the unit on, opens the guard and presses engage,
    // as often as needed until the hold engages (up to `attempts` frames).
    void pilotEngages();

    // The inputs return to finite values and the panel is installed again
    // without a parameter string and connected to its window, which gives
    // the default gains: for `frames` frames the pilot keeps the hold
    // engaged, and every engaged frame must send all four axis commands.
    // Fails if the hold never engages.
    void flyOn(int frames);

    // Fails unless the module's state is what it promises: every loop value
    // finite, flags 0 or 1, the target height within its range, and no
    // joystick reference held beyond one open joystick.
    void checkState() const;

    const Counters& counters() const { return counters_; }

    // The fake host's table entries land here.
    void onRead(HostVar* variable);
    uint32_t onEvent(uint32_t eventId, int32_t value);

private:
    enum class Context { kNone, kPreUpdate, kOtherService, kClick, kCallback };
    enum class Table { kInstalled, kAbsent, kNoRead, kNoEvent };

    struct TextBuffer {
        const GaugeElement* element = nullptr;
        char* memory = nullptr;
        uint32_t count = 0;
    };

    double hostValue(uint32_t token);
    double plausibleValue(Source& source, uint32_t token);
    // Finite inputs come from a stream of their own, so that they are
    // sane whatever is left of the fuzzer's bytes.
    Source& choices() { return finite_ ? static_cast<Source&>(calm_) : source_; }
    void advanceTime();
    void setTable(Table table);
    void drawElement(GaugeElement* element);
    void callText(TextElement* text);
    TextBuffer& bufferFor(const GaugeElement* element, uint32_t count);
    void findMouseAreas();
    void checkRecordUnchanged(const GaugeElement* element, const uint8_t* before, size_t size) const;

    Source& source_;
    RandomSource calm_{0x5EEDu};
    Profile profile_;
    GaugeHeader* header_ = nullptr;
    hostside::HostTable<Exerciser> hostTable_;
    Table table_ = Table::kInstalled;
    Context context_ = Context::kNone;
    bool finite_ = false;
    uint32_t wildness_ = 8;  // of 256 host values are wild
    double simTime_ = 0.0;
    uint32_t eventsThisFrame_ = 0;
    char* parameters_ = nullptr;
    static constexpr int kMaxAreas = 64;
    const MouseRect* areas_[kMaxAreas] = {};
    int areaCount_ = 0;
    static constexpr int kMaxTextBuffers = 64;
    TextBuffer buffers_[kMaxTextBuffers] = {};
    int bufferCount_ = 0;
    int joysticks_ = 0;
    Counters counters_;
};

// One fuzz input as a whole session: the module fresh from load, the input's
// host actions (at most kMaxSessionSteps), then finite inputs for
// `recoveryFrames` frames with the state checked after each, and a hold
// flown on for as many frames.
constexpr int kMaxSessionSteps = 4000;
void runSession(const uint8_t* data, size_t size, Profile profile, int recoveryFrames);

}  // namespace exercise

#endif
