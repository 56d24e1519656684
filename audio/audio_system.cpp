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
#include "audio/engine_synth.h"
#include "audio/sound_synth.h"

namespace ruvelo::audio {
namespace {

// Loudness of each part of the mix before the player's volume. The engine at full throttle peaks near
// 0.5 of full scale at the default volume; the events sit well under it, leaving room for the rare
// moment when everything sounds.
constexpr float kEngineGain = 1.3f;
constexpr float kSquealGain = 0.10f;  // per tyre
constexpr float kScrapeGain = 0.45f;
constexpr float kImpactGain = 0.75f;
constexpr float kClunkGain = 0.30f;
constexpr float kEventGain = 0.25f;
constexpr float kLowPowerGain = 0.55f;  // of the event gain: a reminder, not an alarm

constexpr float kRpmSmoothing = 0.03f;   // s: the engine's speed as heard follows within tens of ms
constexpr float kLoadSmoothing = 0.03f;  // s: a lift is heard at once
constexpr float kSquealRise = 0.08f;     // s: a squeal swells in
constexpr float kSquealFall = 0.20f;     // s: and dies away
constexpr float kScrapeRise = 0.04f;
constexpr float kScrapeFall = 0.15f;
constexpr float kResultFade = 0.4f;          // s: the engine fades out on the result screen
constexpr float kWarningInterval = 3.0f;     // s between low-power warnings
constexpr float kImpactPause = 0.3f;         // s before the same pair of bodies sounds again
constexpr float kQuietestImpact = 0.5f;      // m/s: softer knocks are not heard
constexpr float kLoudestImpact = 8.0f;       // m/s
constexpr float kCrashStrength = 0.55f;      // of the loudest: harder hits sound the heavy crash
constexpr float kReferenceDistance = 15.0f;  // m: the follow camera's distance; closer is no louder

constexpr int kFirstGear = 2;     // below it: reverse and neutral
constexpr int kImpactVoices = 3;  // of each kind
constexpr int kPairsRemembered = 16;
constexpr int kRenderChunk = 1024;  // sample frames per render call

// The engine's stream: samples made each frame, queued on one source in buffers of one fixed size (so
// OpenAL never reallocates them). The queue is kept this far ahead of what plays (on top of the
// frame's own time), so the mixer never runs dry.
constexpr float kStreamLead = 0.045f;   // s
constexpr float kLongestFrame = 0.25f;  // s: longer frames are made up to this much sound
constexpr int kStreamChunk = 256;       // samples per buffer
constexpr int kStreamBuffers =
    static_cast<int>((kLongestFrame + kStreamLead) * kEngineRate) / kStreamChunk + 4;
constexpr int kStreamMost = kStreamBuffers * kStreamChunk;

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
  ALuint engine = 0;
  std::array<ALuint, kStreamBuffers> streamBuffers{};
  std::array<ALuint, kStreamBuffers> freeBuffers{};
  int freeCount = 0;
  long queuedSamples = 0;  // in the buffers on the queue
  ALuint clunk = 0;
  std::array<ALuint, 4> squeal{};
  ALuint scrape = 0;
  // Impact voices, each with its sound put on once (OpenAL allocates each time a source is given one).
  std::array<ALuint, kImpactVoices> knock{};
  std::array<ALuint, kImpactVoices> crash{};
  int nextKnock = 0, nextCrash = 0;
  std::array<ALuint, kEventCount> event{};
  std::array<ALuint, kEventCount> eventBuffer{};
  bool started = false;

  // The engine, made as it plays.
  EngineSynth synth;
  std::vector<float> engineSamples = std::vector<float>(kStreamMost);
  std::vector<int16_t> engineOut = std::vector<int16_t>(kStreamMost);

  // What the mix remembers between frames.
  float rpm = 0.0f;
  float load = 0.0f;
  float engineFade = 1.0f;
  int lastGear = 0;
  std::array<float, 4> squealGain{};
  float scrapeGain = 0.0f;
  float warningWait = 0.0f;
  RaceResult lastResult = RaceResult::None;
  double deliveryTime = -1.0;  // when the last delivery's arpeggio started
  float resultWait = -1.0f;    // s until the result's sound starts (after the arpeggio); < 0: none due
  double time = 0.0;
  std::array<uint64_t, kPairsRemembered> pairs{};
  std::array<double, kPairsRemembered> pairTimes{};
  int nextPair = 0;

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
      std::vector<ALuint> sources{engine, clunk, scrape};
      sources.insert(sources.end(), squeal.begin(), squeal.end());
      sources.insert(sources.end(), knock.begin(), knock.end());
      sources.insert(sources.end(), crash.begin(), crash.end());
      sources.insert(sources.end(), event.begin(), event.end());
      alSourceStopv(static_cast<ALsizei>(sources.size()), sources.data());
      // Stopped, the stream's buffers are all processed and come off its queue.
      alSourcei(engine, AL_BUFFER, 0);
      alDeleteSources(static_cast<ALsizei>(sources.size()), sources.data());
      alDeleteBuffers(static_cast<ALsizei>(buffers.size()), buffers.data());
      alDeleteBuffers(kStreamBuffers, streamBuffers.data());
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

  ALuint loopSource(const Samples& samples) {
    const ALuint buffer = addBuffer(samples);
    ALuint source = 0;
    alGenSources(1, &source);
    alSourcei(source, AL_BUFFER, static_cast<ALint>(buffer));
    alSourcei(source, AL_LOOPING, AL_TRUE);
    alSourcef(source, AL_REFERENCE_DISTANCE, kReferenceDistance);
    return source;
  }

  // Sounds into buffers, buffers onto sources.
  bool loadSounds() {
    alGenSources(1, &engine);
    alSourcef(engine, AL_REFERENCE_DISTANCE, kReferenceDistance);
    alGenBuffers(kStreamBuffers, streamBuffers.data());
    freeBuffers = streamBuffers;
    freeCount = kStreamBuffers;
    alGenSources(1, &clunk);
    alSourcei(clunk, AL_BUFFER, static_cast<ALint>(addBuffer(clunkSound())));
    alSourcef(clunk, AL_REFERENCE_DISTANCE, kReferenceDistance);
    const Samples squealSamples = squealLoop();
    for (int w = 0; w < 4; ++w) {
      squeal[w] = loopSource(squealSamples);
      // Each tyre starts at its own place in the loop, so four squeals do not add up in step.
      alSourcei(squeal[w], AL_SAMPLE_OFFSET, static_cast<ALint>(squealSamples.size() * w / 4));
    }
    scrape = loopSource(scrapeLoop());
    const ALuint knockBuffer = addBuffer(impactSound()), crashBuffer = addBuffer(crashSound());
    alGenSources(kImpactVoices, knock.data());
    alGenSources(kImpactVoices, crash.data());
    for (int i = 0; i < kImpactVoices; ++i) {
      alSourcei(knock[i], AL_BUFFER, static_cast<ALint>(knockBuffer));
      alSourcei(crash[i], AL_BUFFER, static_cast<ALint>(crashBuffer));
      alSourcef(knock[i], AL_REFERENCE_DISTANCE, kReferenceDistance);
      alSourcef(crash[i], AL_REFERENCE_DISTANCE, kReferenceDistance);
    }
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
      alSourcef(event[e], AL_GAIN, kEventGain * (e == kLowPower ? kLowPowerGain : 1.0f));
    }
    alDistanceModel(AL_INVERSE_DISTANCE_CLAMPED);
    // The listener rides a camera whose speed the sound is not told: no Doppler shift.
    alDopplerFactor(0.0f);
    return alGetError() == AL_NO_ERROR;
  }

  void startLoops() {
    std::vector<ALuint> loops{scrape};
    loops.insert(loops.end(), squeal.begin(), squeal.end());
    for (ALuint source : loops) alSourcef(source, AL_GAIN, 0.0f);
    alSourcePlayv(static_cast<ALsizei>(loops.size()), loops.data());
    started = true;
  }

  // Keeps the engine's queue ahead of the mixer: takes back the buffers played, makes what is missing
  // at the frame's engine speed and load, queues it, and (re)starts the source when it ran dry.
  void streamEngine(float dt, float heardLoad) {
    ALint processed = 0;
    alGetSourcei(engine, AL_BUFFERS_PROCESSED, &processed);
    for (; processed > 0; --processed) {
      ALuint buffer = 0;
      alSourceUnqueueBuffers(engine, 1, &buffer);
      queuedSamples -= kStreamChunk;
      freeBuffers[freeCount++] = buffer;
    }
    ALint offset = 0, state = AL_STOPPED;
    alGetSourcei(engine, AL_SAMPLE_OFFSET, &offset);
    alGetSourcei(engine, AL_SOURCE_STATE, &state);
    if (state != AL_PLAYING) queuedSamples = offset = 0;  // ran dry: start afresh
    const long ahead = queuedSamples - offset;
    const long wanted = std::lround((std::min(dt, kLongestFrame) + kStreamLead) * kEngineRate);
    const long missing = std::max(0L, wanted - ahead);
    const int chunks =
        static_cast<int>(std::min<long>((missing + kStreamChunk - 1) / kStreamChunk, freeCount));
    if (chunks > 0) {
      const int count = chunks * kStreamChunk;
      synth.render(engineSamples.data(), count, rpm, heardLoad);
      for (int n = 0; n < count; ++n)
        engineOut[n] = static_cast<int16_t>(std::clamp(engineSamples[n], -1.0f, 1.0f) * 32767.0f);
      for (int c = 0; c < chunks; ++c) {
        const ALuint buffer = freeBuffers[--freeCount];
        alBufferData(buffer, AL_FORMAT_MONO16, engineOut.data() + c * kStreamChunk,
                     static_cast<ALsizei>(kStreamChunk * sizeof(int16_t)), kEngineRate);
        alSourceQueueBuffers(engine, 1, &buffer);
      }
      queuedSamples += count;
    }
    if (state != AL_PLAYING) alSourcePlay(engine);
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

  // Plays on one of `voices`: one that has finished if there is one, else the one after the last used.
  void playImpact(std::array<ALuint, kImpactVoices>& voices, int& next, const glm::vec3& where,
                  float loudness, float pitch) {
    int chosen = next;
    for (int i = 0; i < kImpactVoices; ++i) {
      ALint state = AL_STOPPED;
      alGetSourcei(voices[(next + i) % kImpactVoices], AL_SOURCE_STATE, &state);
      if (state != AL_PLAYING) {
        chosen = (next + i) % kImpactVoices;
        break;
      }
    }
    next = (chosen + 1) % kImpactVoices;
    const ALuint voice = voices[chosen];
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

  // The engine: its speed and its own throttle drive the synthesis; a change between forward gears
  // clunks as the drive is taken up.
  void mixEngine(const AudioFrame& f, float dt, bool over) {
    rpm = smoothTowards(rpm, std::isfinite(f.engineRpm) ? f.engineRpm : rpm, dt, kRpmSmoothing);
    const float throttle = std::isfinite(f.engineThrottle) ? std::clamp(f.engineThrottle, 0.0f, 1.0f) : 0.0f;
    load = smoothTowards(load, throttle, dt, kLoadSmoothing);
    engineFade = smoothTowards(engineFade, over ? 0.0f : 1.0f, dt, kResultFade);
    if (f.gear != lastGear && f.gear >= kFirstGear && lastGear >= kFirstGear && !over) {
      alSourceStop(clunk);
      setPosition(clunk, f.vehiclePosition);
      alSourcef(clunk, AL_GAIN, kClunkGain);
      alSourcePlay(clunk);
    }
    lastGear = f.gear;
    alSourcef(engine, AL_GAIN, kEngineGain * engineFade);
    setPosition(engine, f.vehiclePosition);
    streamEngine(dt, load);
  }

  // Each tyre's squeal, and the body's scrape along a wall: loops that swell and die away.
  void mixTyres(const AudioFrame& f, float dt, bool over) {
    for (int w = 0; w < 4; ++w) {
      const WheelSlip& wheel = f.wheels[w];
      const LoopVoice voice =
          over || !wheel.onGround ? LoopVoice{} : squealVoice(wheel.longSlip, wheel.latSlip, wheel.slipSpeed);
      squealGain[w] = smoothTowards(squealGain[w], voice.gain, dt,
                                    voice.gain > squealGain[w] ? kSquealRise : kSquealFall);
      alSourcef(squeal[w], AL_GAIN, kSquealGain * squealGain[w]);
      // Each tyre a little apart in pitch, so four squeals do not add up in step.
      alSourcef(squeal[w], AL_PITCH, voice.pitch * (0.97f + 0.02f * static_cast<float>(w)));
      setPosition(squeal[w], f.vehiclePosition);
    }
    const LoopVoice voice = over ? LoopVoice{} : scrapeVoice(f.scrapeSpeed);
    scrapeGain =
        smoothTowards(scrapeGain, voice.gain, dt, voice.gain > scrapeGain ? kScrapeRise : kScrapeFall);
    alSourcef(scrape, AL_GAIN, kScrapeGain * scrapeGain);
    alSourcef(scrape, AL_PITCH, voice.pitch);
    setPosition(scrape, f.vehiclePosition);
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
      const bool heavy = strength >= kCrashStrength;
      playImpact(heavy ? crash : knock, heavy ? nextCrash : nextKnock, f.vehiclePosition,
                 kImpactGain * (0.12f + 0.88f * strength * strength), 1.1f - 0.2f * strength);
    }
  }

  void mixEvents(const AudioFrame& f, float dt, bool over) {
    if (f.pickup) play(kPickup);
    if (f.delivery) {
      play(kDelivery);
      deliveryTime = time;
    }
    if (f.lowPower && !over) {
      warningWait -= dt;
      if (warningWait <= 0.0f) {
        play(kLowPower);
        warningWait = kWarningInterval;
      }
    } else {
      warningWait = 0.0f;
    }
    // The result's sound waits for a delivery's arpeggio to finish, so the two do not smear.
    if (f.result != lastResult && over) {
      const double sinceDelivery = deliveryTime < 0.0 ? kDeliverySeconds : time - deliveryTime;
      resultWait = static_cast<float>(std::max(0.0, kDeliverySeconds - sinceDelivery));
      lastResult = f.result;
    }
    if (!over) lastResult = f.result;
    if (resultWait >= 0.0f) {
      resultWait -= dt;
      if (resultWait <= 0.0f) {
        play(lastResult == RaceResult::Won ? kWin : kLose);
        resultWait = -1.0f;
      }
    }
  }
};

AudioSystem::AudioSystem(Backend backend, bool keepRender) : out_(std::make_unique<Output>()) {
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
    o.rpm = std::isfinite(f.engineRpm) ? f.engineRpm : 0.0f;
    o.lastGear = f.gear;
  }
  o.placeListener(f, f.muted ? 0.0f : std::clamp(f.volume, 0.0f, 1.0f));
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
