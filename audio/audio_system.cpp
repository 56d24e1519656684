#include "audio/audio_system.h"

#include <AL/al.h>
#include <AL/alc.h>
#include <AL/alext.h>
#include <dlfcn.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <vector>

#include "audio/engine_mix.h"
#include "audio/sound_synth.h"

namespace ruvelo::audio {
namespace {

// Loudness of each part of the mix before the player's volume. Drives through the level peak at about
// 0.4 of full scale at the default volume, leaving room for the rare moment when everything sounds.
constexpr float kEngineGain = 0.60f;
constexpr float kOffLoadGain = 0.75f;  // coasting is quieter than pulling
constexpr float kSquealGain = 0.12f;   // per tyre
constexpr float kImpactGain = 0.60f;
constexpr float kEventGain = 0.50f;

constexpr float kRpmSmoothing = 0.04f;   // s: the engine's speed as heard follows within tens of ms
constexpr float kLoadSmoothing = 0.06f;  // s
constexpr float kSquealSmoothing = 0.05f;
constexpr float kResultFade = 0.4f;          // s: the engine fades out on the result screen
constexpr float kShiftDip = 0.10f;           // s: how long a gear change takes the engine's drive away
constexpr float kWarningInterval = 1.5f;     // s between low-power warnings
constexpr float kImpactPause = 0.3f;         // s before the same pair of bodies sounds again
constexpr float kQuietestImpact = 1.0f;      // m/s: softer knocks are not heard
constexpr float kLoudestImpact = 10.0f;      // m/s
constexpr float kReferenceDistance = 15.0f;  // m: the follow camera's distance; closer is no louder

constexpr int kFirstGear = 2;  // below it: reverse and neutral
constexpr int kImpactVoices = 3;
constexpr int kPairsRemembered = 16;
constexpr int kRenderChunk = 1024;  // sample frames per render call

enum Event { kPickup, kDelivery, kLowPower, kWin, kLose, kEventCount };

double threadCpuMicroseconds() {
  timespec t{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) * 1e6 + static_cast<double>(t.tv_nsec) * 1e-3;
}

void ignoreAlsaError(const char*, int, const char*, int, const char*, ...) {}

// ALSA prints its own diagnostics on standard error when there is no sound card. OpenAL loads the
// same library, so a quiet error handler set here holds for it too. Not linked: absent is fine.
void* quietAlsa() {
  void* alsa = dlopen("libasound.so.2", RTLD_LAZY | RTLD_LOCAL);
  if (!alsa) return nullptr;
  using Handler = void (*)(const char*, int, const char*, int, const char*, ...);
  using SetHandler = int (*)(Handler);
  if (auto set = reinterpret_cast<SetHandler>(dlsym(alsa, "snd_lib_error_set_handler"))) set(ignoreAlsaError);
  return alsa;
}

void quietOpenAl() {
  // The player's own setting wins.
  setenv("ALSOFT_LOGLEVEL", "0", 0);
}

ALuint makeBuffer(const Samples& samples) {
  ALuint buffer = 0;
  alGenBuffers(1, &buffer);
  alBufferData(buffer, AL_FORMAT_MONO16, samples.data(),
               static_cast<ALsizei>(samples.size() * sizeof(int16_t)), kSampleRate);
  return buffer;
}

void setPosition(ALuint source, const glm::vec3& p) {
  alSource3f(source, AL_POSITION, p.x, p.y, p.z);
}

}  // namespace

struct AudioSystem::Output {
  Backend backend = Backend::Silent;
  ALCdevice* device = nullptr;
  ALCcontext* context = nullptr;
  void* alsa = nullptr;
  LPALCRENDERSAMPLESSOFT renderSamples = nullptr;

  std::vector<ALuint> buffers;
  std::array<std::array<ALuint, 2>, kEngineLoops> engine{};  // [loop][0 on load, 1 off load]
  std::array<ALuint, 4> squeal{};
  std::array<ALuint, kImpactVoices> impact{};
  std::array<ALuint, kEventCount> event{};
  ALuint impactBuffer = 0;
  std::array<ALuint, kEventCount> eventBuffer{};
  bool started = false;

  // What the mix remembers between frames.
  float rpm = 0.0f;
  float load = 0.0f;
  float engineFade = 1.0f;
  float shiftDip = 0.0f;
  int lastGear = 0;
  std::array<float, 4> squealLevel{};
  float warningWait = 0.0f;
  RaceResult lastResult = RaceResult::None;
  double time = 0.0;
  std::array<uint64_t, kPairsRemembered> pairs{};
  std::array<double, kPairsRemembered> pairTimes{};
  int nextPair = 0;
  int nextImpactVoice = 0;

  // Loopback rendering in game time.
  double samplesDue = 0.0;
  long samplesRendered = 0;
  std::vector<float> chunk = std::vector<float>(kRenderChunk * 2);
  bool keep = false;
  std::vector<int16_t> kept;

  // --bench: CPU per update, and of the loopback's rendering within it.
  std::vector<double> updateCost, renderCost;
  bool measuring = false;

  ~Output() {
    if (context) {
      alcMakeContextCurrent(context);
      std::vector<ALuint> sources;
      for (auto& loop : engine) sources.insert(sources.end(), loop.begin(), loop.end());
      sources.insert(sources.end(), squeal.begin(), squeal.end());
      sources.insert(sources.end(), impact.begin(), impact.end());
      sources.insert(sources.end(), event.begin(), event.end());
      alSourceStopv(static_cast<ALsizei>(sources.size()), sources.data());
      alDeleteSources(static_cast<ALsizei>(sources.size()), sources.data());
      alDeleteBuffers(static_cast<ALsizei>(buffers.size()), buffers.data());
      alcMakeContextCurrent(nullptr);
      alcDestroyContext(context);
    }
    if (device) alcCloseDevice(device);
    if (alsa) dlclose(alsa);
  }

  // The device or the loopback, and a context on it. Returns why not, or "".
  std::string open(Backend wanted) {
    quietOpenAl();
    if (wanted == Backend::Device) {
      alsa = quietAlsa();
      device = alcOpenDevice(nullptr);
      if (!device) return "no audio device could be opened";
      context = alcCreateContext(device, nullptr);
    } else {
      if (!alcIsExtensionPresent(nullptr, "ALC_SOFT_loopback"))
        return "the audio library has no loopback device";
      auto openLoopback = reinterpret_cast<LPALCLOOPBACKOPENDEVICESOFT>(
          alcGetProcAddress(nullptr, "alcLoopbackOpenDeviceSOFT"));
      renderSamples =
          reinterpret_cast<LPALCRENDERSAMPLESSOFT>(alcGetProcAddress(nullptr, "alcRenderSamplesSOFT"));
      if (!openLoopback || !renderSamples) return "the audio library has no loopback device";
      device = openLoopback(nullptr);
      if (!device) return "the loopback device could not be opened";
      // Float output, so nothing is dithered and a sample past full scale is seen, not limited.
      const ALCint attributes[] = {ALC_FORMAT_CHANNELS_SOFT,
                                   ALC_STEREO_SOFT,
                                   ALC_FORMAT_TYPE_SOFT,
                                   ALC_FLOAT_SOFT,
                                   ALC_FREQUENCY,
                                   kSampleRate,
                                   ALC_HRTF_SOFT,
                                   ALC_FALSE,
                                   ALC_OUTPUT_LIMITER_SOFT,
                                   ALC_FALSE,
                                   0};
      context = alcCreateContext(device, attributes);
    }
    if (!context || !alcMakeContextCurrent(context)) return "the audio context could not be made";
    backend = wanted;
    return "";
  }

  ALuint addBuffer(const Samples& samples) {
    buffers.push_back(makeBuffer(samples));
    return buffers.back();
  }

  // Sounds into buffers, buffers onto sources.
  bool loadSounds() {
    for (int i = 0; i < kEngineLoops; ++i) {
      for (int onOff = 0; onOff < 2; ++onOff) {
        const ALuint buffer = addBuffer(engineLoop(i, onOff == 0));
        alGenSources(1, &engine[i][onOff]);
        alSourcei(engine[i][onOff], AL_BUFFER, static_cast<ALint>(buffer));
        alSourcei(engine[i][onOff], AL_LOOPING, AL_TRUE);
      }
    }
    const ALuint squealBuffer = addBuffer(squealLoop());
    for (int w = 0; w < 4; ++w) {
      alGenSources(1, &squeal[w]);
      alSourcei(squeal[w], AL_BUFFER, static_cast<ALint>(squealBuffer));
      alSourcei(squeal[w], AL_LOOPING, AL_TRUE);
      // Each tyre a little apart in pitch, so four squeals do not add up in step.
      alSourcef(squeal[w], AL_PITCH, 0.96f + 0.03f * static_cast<float>(w));
    }
    impactBuffer = addBuffer(impactSound());
    alGenSources(kImpactVoices, impact.data());
    // Buffers are put on sources once: OpenAL allocates each time a source is given one.
    for (ALuint source : impact) alSourcei(source, AL_BUFFER, static_cast<ALint>(impactBuffer));
    eventBuffer[kPickup] = addBuffer(pickupSound());
    eventBuffer[kDelivery] = addBuffer(deliverySound());
    eventBuffer[kLowPower] = addBuffer(lowPowerSound());
    eventBuffer[kWin] = addBuffer(winSound());
    eventBuffer[kLose] = addBuffer(loseSound());
    alGenSources(kEventCount, event.data());
    for (int e = 0; e < kEventCount; ++e) {
      // Event sounds are the game speaking to the player: at the listener, not in the scene.
      alSourcei(event[e], AL_BUFFER, static_cast<ALint>(eventBuffer[e]));
      alSourcei(event[e], AL_SOURCE_RELATIVE, AL_TRUE);
      alSource3f(event[e], AL_POSITION, 0.0f, 0.0f, 0.0f);
      alSourcef(event[e], AL_GAIN, kEventGain);
    }
    for (auto& loop : engine)
      for (ALuint source : loop) alSourcef(source, AL_REFERENCE_DISTANCE, kReferenceDistance);
    for (ALuint source : squeal) alSourcef(source, AL_REFERENCE_DISTANCE, kReferenceDistance);
    for (ALuint source : impact) alSourcef(source, AL_REFERENCE_DISTANCE, kReferenceDistance);
    alDistanceModel(AL_INVERSE_DISTANCE_CLAMPED);
    // The listener rides a camera whose speed the sound is not told: no Doppler shift.
    alDopplerFactor(0.0f);
    return alGetError() == AL_NO_ERROR;
  }

  void startLoops() {
    std::vector<ALuint> loops;
    for (auto& loop : engine) loops.insert(loops.end(), loop.begin(), loop.end());
    loops.insert(loops.end(), squeal.begin(), squeal.end());
    for (ALuint source : loops) alSourcef(source, AL_GAIN, 0.0f);
    alSourcePlayv(static_cast<ALsizei>(loops.size()), loops.data());
    started = true;
  }

  bool pairResting(uint64_t pair) const {
    for (int i = 0; i < kPairsRemembered; ++i)
      if (pairs[i] == pair && time - pairTimes[i] < kImpactPause) return true;
    return false;
  }

  void rememberPair(uint64_t pair) {
    for (int i = 0; i < kPairsRemembered; ++i) {
      if (pairs[i] == pair) {
        pairTimes[i] = time;
        return;
      }
    }
    pairs[nextPair] = pair;
    pairTimes[nextPair] = time;
    nextPair = (nextPair + 1) % kPairsRemembered;
  }

  void playImpact(const glm::vec3& where, float loudness, float pitch) {
    const ALuint voice = impact[nextImpactVoice];
    nextImpactVoice = (nextImpactVoice + 1) % kImpactVoices;
    alSourceStop(voice);
    setPosition(voice, where);
    alSourcef(voice, AL_GAIN, loudness);
    alSourcef(voice, AL_PITCH, pitch);
    alSourcePlay(voice);
  }

  void play(Event e) {
    alSourceStop(event[e]);
    alSourcePlay(event[e]);
  }

  void placeListener(const AudioFrame& f, float gain) {
    alListenerf(AL_GAIN, gain);
    alListener3f(AL_POSITION, f.listenerPosition.x, f.listenerPosition.y, f.listenerPosition.z);
    const ALfloat orientation[] = {f.listenerFront.x, f.listenerFront.y, f.listenerFront.z,
                                   f.listenerUp.x,    f.listenerUp.y,    f.listenerUp.z};
    alListenerfv(AL_ORIENTATION, orientation);
  }

  // The engine: loops crossfaded by its speed, pulling against coasting by the throttle.
  void mixEngine(const AudioFrame& f, float dt, bool over) {
    rpm = smoothTowards(rpm, std::isfinite(f.engineRpm) ? f.engineRpm : rpm, dt, kRpmSmoothing);
    load = smoothTowards(load, std::clamp(f.throttle, 0.0f, 1.0f), dt, kLoadSmoothing);
    engineFade = smoothTowards(engineFade, over ? 0.0f : 1.0f, dt, kResultFade);
    // A change between forward gears: the drive drops away for a moment, with a soft clunk.
    if (f.gear != lastGear && f.gear >= kFirstGear && lastGear >= kFirstGear && !over) {
      shiftDip = 1.0f;
      playImpact(f.vehiclePosition, 0.12f * kImpactGain, 1.6f);
    }
    lastGear = f.gear;
    shiftDip = smoothTowards(shiftDip, 0.0f, dt, kShiftDip);
    const float level = kEngineGain * (0.6f + 0.4f * load) * engineFade * (1.0f - 0.5f * shiftDip);
    const float onLoad = std::sqrt(load), offLoad = kOffLoadGain * std::sqrt(1.0f - load);
    const std::array<LoopVoice, kEngineLoops> voices = engineCrossfade(rpm);
    for (int i = 0; i < kEngineLoops; ++i) {
      for (int onOff = 0; onOff < 2; ++onOff) {
        const ALuint source = engine[i][onOff];
        alSourcef(source, AL_GAIN, level * voices[i].gain * (onOff == 0 ? onLoad : offLoad));
        alSourcef(source, AL_PITCH, voices[i].pitch);
        setPosition(source, f.vehiclePosition);
      }
    }
  }

  void mixTyres(const AudioFrame& f, float dt, bool over) {
    for (int w = 0; w < 4; ++w) {
      const WheelSlip& wheel = f.wheels[w];
      const float target = over || !wheel.onGround ? 0.0f : audio::squealLevel(wheel.longSlip, wheel.latSlip);
      squealLevel[w] = smoothTowards(squealLevel[w], target, dt, kSquealSmoothing);
      alSourcef(squeal[w], AL_GAIN, kSquealGain * squealLevel[w]);
      setPosition(squeal[w], f.vehiclePosition);
    }
  }

  // Impacts, each pair of bodies at most once per pause.
  void mixImpacts(const AudioFrame& f) {
    for (int i = 0; i < std::min(f.impactCount, AudioFrame::kMaxImpacts); ++i) {
      const ImpactReport& report = f.impacts[i];
      if (!(report.speedChange >= kQuietestImpact) || pairResting(report.pair)) continue;
      rememberPair(report.pair);
      const float strength = std::clamp(
          std::log(report.speedChange / kQuietestImpact) / std::log(kLoudestImpact / kQuietestImpact), 0.0f,
          1.0f);
      playImpact(f.vehiclePosition, kImpactGain * (0.2f + 0.8f * strength), 1.15f - 0.3f * strength);
    }
  }

  void mixEvents(const AudioFrame& f, float dt, bool over) {
    if (f.pickup) play(kPickup);
    if (f.delivery) play(kDelivery);
    if (f.lowPower && !over) {
      warningWait -= dt;
      if (warningWait <= 0.0f) {
        play(kLowPower);
        warningWait = kWarningInterval;
      }
    } else {
      warningWait = 0.0f;
    }
    if (f.result != lastResult && over) {
      alSourceStop(event[kLowPower]);
      play(f.result == RaceResult::Won ? kWin : kLose);
    }
    lastResult = f.result;
  }
};

AudioSystem::AudioSystem(Backend backend, float volume, bool keepRender)
    : out_(std::make_unique<Output>()), volume_(std::clamp(volume, 0.0f, 1.0f)) {
  if (backend == Backend::Silent) {
    offReason_ = "silent";
    out_.reset();
    return;
  }
  offReason_ = out_->open(backend);
  if (offReason_.empty()) {
    const auto start = std::chrono::steady_clock::now();
    const double cpuStart = threadCpuMicroseconds();
    if (!out_->loadSounds()) offReason_ = "the sounds could not be loaded";
    synthesisCpuMs_ = (threadCpuMicroseconds() - cpuStart) / 1000.0;
    synthesisMs_ =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
  }
  if (!offReason_.empty()) {
    out_.reset();
    return;
  }
  out_->keep = keepRender && backend == Backend::Loopback;
  // Room for the longest frame's samples, so keeping them never allocates while the game runs.
  if (out_->keep) out_->kept.reserve(kSampleRate * 2 + kRenderChunk * 2);
}

AudioSystem::~AudioSystem() = default;

bool AudioSystem::on() const {
  return out_ != nullptr;
}

void AudioSystem::update(const AudioFrame& frame) {
  if (!out_) return;
  const double start = out_->measuring ? threadCpuMicroseconds() : 0.0;
  mix(frame);
  double mixed = 0.0;
  if (out_->measuring) mixed = threadCpuMicroseconds();
  if (out_->backend == Backend::Loopback) render(frame.dt);
  if (out_->measuring && out_->updateCost.size() < out_->updateCost.capacity()) {
    const double end = threadCpuMicroseconds();
    out_->updateCost.push_back(mixed - start);
    if (out_->backend == Backend::Loopback) out_->renderCost.push_back(end - mixed);
  }
}

void AudioSystem::mix(const AudioFrame& f) {
  Output& o = *out_;
  const float dt = std::max(0.0f, f.dt);
  o.time += dt;
  if (!o.started) {
    o.startLoops();
    o.rpm = f.engineRpm;
    o.lastGear = f.gear;
  }
  o.placeListener(f, f.muted ? 0.0f : volume_);
  const bool over = f.result != RaceResult::None;
  o.mixEngine(f, dt, over);
  o.mixTyres(f, dt, over);
  o.mixImpacts(f);
  o.mixEvents(f, dt, over);
}

void AudioSystem::render(float dt) {
  Output& o = *out_;
  o.samplesDue += static_cast<double>(std::max(0.0f, dt)) * kSampleRate;
  long frames = static_cast<long>(std::floor(o.samplesDue)) - o.samplesRendered;
  while (frames > 0) {
    const int n = static_cast<int>(std::min<long>(frames, kRenderChunk));
    o.renderSamples(o.device, o.chunk.data(), n);
    if (o.keep) {
      for (int i = 0; i < n * 2; ++i) {
        const float v = o.chunk[i] * 32767.0f;
        o.kept.push_back(static_cast<int16_t>(std::lround(std::clamp(v, -32768.0f, 32767.0f))));
      }
    }
    o.samplesRendered += n;
    frames -= n;
  }
}

const std::vector<int16_t>& AudioSystem::rendered() const {
  static const std::vector<int16_t> none;
  return out_ ? out_->kept : none;
}

void AudioSystem::clearRendered() {
  if (out_) out_->kept.clear();
}

void AudioSystem::measureCost(int expectedFrames) {
  if (!out_) return;
  out_->measuring = true;
  out_->updateCost.reserve(static_cast<std::size_t>(std::max(expectedFrames, 1)));
  out_->renderCost.reserve(static_cast<std::size_t>(std::max(expectedFrames, 1)));
}

const std::vector<double>* AudioSystem::updateCost() const {
  return out_ && out_->measuring ? &out_->updateCost : nullptr;
}

const std::vector<double>* AudioSystem::renderCost() const {
  return out_ && out_->measuring ? &out_->renderCost : nullptr;
}

}  // namespace ruvelo::audio
