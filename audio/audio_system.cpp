#include "audio/audio_system.h"

#include <AL/al.h>
#include <AL/alc.h>
#include <AL/alext.h>
#include <dlfcn.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <mutex>
#include <thread>
#include <vector>

#include "audio/engine_mix.h"
#include "audio/engine_synth.h"
#include "audio/sound_synth.h"

namespace ruvelo::audio {
namespace {

// Loudness of each part of the mix before the player's volume. The engine sets the level: at the
// default volume a drive sits near -20 LUFS. The events are matched by loudness, not peak: each is
// made a few LU louder than what it plays over (the engine and the tyres, ducked under it), never
// quieter than over a quiet idle, so it is heard whether the engine pulls or coasts and never startles.
constexpr float kEngineGain = 1.6f;
constexpr float kSquealGain = 0.10f;  // per tyre
constexpr float kScrapeGain = 0.45f;
constexpr float kClunkGain = 0.45f;
constexpr float kEventOver = 6.5f;      // LU an event stands over the engine and tyres (ducked)
constexpr float kQuietBed = -31.0f;     // dB against the engine's stream at full scale: the quietest bed
constexpr float kResultLevel = -21.0f;  // dB likewise: the result's sound, the engine fading out under it
constexpr float kMostEventGain = 1.5f;  // an event's sound peaks at most near full scale
constexpr float kDuck = 0.67f;          // the engine and tyres under an event: -3.5 dB
constexpr float kDuckFall = 0.03f;      // s
constexpr float kDuckRise = 0.25f;      // s
constexpr float kBedSmoothing = 0.3f;   // s: how quickly the bed's measured loudness follows
// An impact's loudness over the engine (LU, over the engine ducked for a hard hit) at the softest
// knock and the hardest hit; a hit of 6 m/s is heard about 8 LU over it.
constexpr float kSoftestImpactOver = -6.0f, kHardestImpactOver = 11.5f;
constexpr float kMostImpactGain = 3.0f;
constexpr float kHitDuck = 0.4f;  // s the engine and the tyres duck under a hard hit

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

// The engine's stream: samples queued on one source in buffers of one fixed size (so OpenAL never
// reallocates them). On the loopback they are made each frame, this far ahead of what plays on top of
// the frame's own time. On the sound device a thread of its own looks every kFeedEvery and keeps the
// queue ahead by twice the most the device took between two looks lately (kFeedLeadLeast at least,
// kLongestFrame at most), so neither a slow frame nor a mixer that catches up in bursts lets it run
// dry; if it ever does, the stream comes back in over kRestartFade rather than with a click.
constexpr float kStreamLead = 0.045f;   // s
constexpr float kFeedLeadLeast = 0.1f;  // s
constexpr auto kFeedEvery = std::chrono::milliseconds(5);
constexpr float kFeedMemory = 5.0f;  // s over which the longest take between two looks is forgotten
constexpr int kRestartFade = kEngineRate / 200;  // samples: 5 ms
constexpr float kLongestFrame = 0.25f;           // s: longer frames are made up to this much sound
constexpr int kStreamChunk = 256;                // samples per buffer
constexpr int kStreamBuffers =
    static_cast<int>((kLongestFrame + kStreamLead) * kEngineRate) / kStreamChunk + 4;
constexpr int kStreamMost = kStreamBuffers * kStreamChunk;

enum Event { kPickup, kDelivery, kLowPower, kWin, kLose, kEventCount };

double threadCpuMicroseconds() {
  timespec t{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) * 1e6 + static_cast<double>(t.tv_nsec) * 1e-3;
}

float dbToPower(float db) {
  return std::pow(10.0f, db / 10.0f);
}

// A float sample as 16 bits, rounded; past full scale it is held there.
int16_t toSample(float v) {
  return static_cast<int16_t>(std::lround(std::clamp(v * 32767.0f, -32768.0f, 32767.0f)));
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

constexpr int kEngineStem = static_cast<int>(Stem::Engine);
constexpr int kTyresStem = static_cast<int>(Stem::Tyres);
constexpr int kEventsStem = static_cast<int>(Stem::Events);

// A device and its context. On the sound device every group plays on the one context; on the
// loopback each group has a device of its own, rendered apart and added up, so each group's part of
// the mix is known exactly.
struct Bus {
  ALCdevice* device = nullptr;
  ALCcontext* context = nullptr;
};

struct AudioSystem::Output {
  Backend backend = Backend::Silent;
  std::array<Bus, kStemCount> bus{};
  ALCcontext* current = nullptr;
  void* alsa = nullptr;
  LPALCRENDERSAMPLESSOFT renderSamples = nullptr;

  std::array<std::vector<ALuint>, kStemCount> buffers;
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
  std::array<float, kEventCount> eventSeconds{};
  bool started = false;
  bool loaded = false;

  // The engine, made as it plays.
  EngineSynth synth;
  std::vector<float> engineSamples = std::vector<float>(kStreamMost);
  std::vector<int16_t> engineOut = std::vector<int16_t>(kStreamMost);

  // How loud each part is at unit gain (mean square of the K-weighted samples), for matching events
  // to what they play over.
  std::array<float, kEventCount> eventPower{};
  float knockPower = 0.0f, crashPower = 0.0f, squealPower = 0.0f, scrapePower = 0.0f;
  KWeighting engineWeighting;
  // Of the engine's stream as made, over the last few tenths of a second.
  std::atomic<float> enginePower{0.0f};
  float duck = 1.0f;
  double duckUntil = -1.0;  // when the last event's sound ends
  float fade = 1.0f;        // the engine's and the tyres' distance attenuation

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
  std::array<std::vector<float>, kStemCount> chunk;
  bool keep = false, keepStems = false;
  std::vector<int16_t> kept;
  std::array<std::vector<int16_t>, kStemCount> keptStems;
  std::atomic<long> underruns{0};
  bool streaming = false;  // the engine's source has been started

  // The device's feeder thread and what it shares with the game's thread: the engine's speed and
  // load to make (the synthesis and the stream are the feeder's alone while it runs).
  std::thread feeder;
  std::mutex streamLock;
  std::condition_variable wake;
  bool stopping = false;
  float streamRpm = 0.0f, streamLoad = 0.0f;
  long aheadAfter = 0;    // samples queued ahead of the mixer after the last look
  float longestTake = 0;  // samples: the most the device took between two looks, lately

  // --bench: CPU per update, and of the loopback's rendering within it.
  std::vector<double> updateCost, renderCost;
  bool measuring = false;

  ~Output() {
    stopFeeder();
    if (loaded) {
      std::array<std::vector<ALuint>, kStemCount> sources;
      sources[kEngineStem] = {engine, clunk};
      sources[kTyresStem] = {scrape};
      sources[kTyresStem].insert(sources[kTyresStem].end(), squeal.begin(), squeal.end());
      sources[kTyresStem].insert(sources[kTyresStem].end(), knock.begin(), knock.end());
      sources[kTyresStem].insert(sources[kTyresStem].end(), crash.begin(), crash.end());
      sources[kEventsStem].assign(event.begin(), event.end());
      for (int g = 0; g < kStemCount; ++g) {
        use(g);
        alSourceStopv(static_cast<ALsizei>(sources[g].size()), sources[g].data());
        // Stopped, the stream's buffers are all processed and come off its queue.
        if (g == kEngineStem) alSourcei(engine, AL_BUFFER, 0);
        alDeleteSources(static_cast<ALsizei>(sources[g].size()), sources[g].data());
        alDeleteBuffers(static_cast<ALsizei>(buffers[g].size()), buffers[g].data());
        if (g == kEngineStem) alDeleteBuffers(kStreamBuffers, streamBuffers.data());
      }
    }
    alcMakeContextCurrent(nullptr);
    for (int g = 0; g < kStemCount; ++g) {
      if (g > 0 && bus[g].device == bus[g - 1].device) continue;
      if (bus[g].context) alcDestroyContext(bus[g].context);
      if (bus[g].device) alcCloseDevice(bus[g].device);
    }
    if (alsa) dlclose(alsa);
  }

  void startFeeder() {
    feeder = std::thread([this] {
      std::unique_lock<std::mutex> lock(streamLock);
      const float forget = std::exp(-std::chrono::duration<float>(kFeedEvery).count() / kFeedMemory);
      while (!stopping) {
        longestTake *= forget;
        const float lead = std::clamp(2.0f * longestTake / kEngineRate, kFeedLeadLeast, kLongestFrame);
        streamEngine(lead, streamRpm, streamLoad);
        wake.wait_for(lock, kFeedEvery);
      }
    });
  }

  void stopFeeder() {
    if (!feeder.joinable()) return;
    {
      std::lock_guard<std::mutex> lock(streamLock);
      stopping = true;
    }
    wake.notify_all();
    feeder.join();
  }

  // Makes group g's context the current one.
  void use(int g) {
    if (bus[g].context != current) {
      alcMakeContextCurrent(bus[g].context);
      current = bus[g].context;
    }
  }

  // Whether group g plays on a context of its own, not the one before it.
  bool ownContext(int g) const { return g == 0 || bus[g].context != bus[g - 1].context; }

  // The device or the loopback, and a context on it. Returns why not, or "".
  std::string open(Backend wanted) {
    quietOpenAl();
    if (wanted == Backend::Device) {
      alsa = quietAlsa();
      ALCdevice* device = alcOpenDevice(nullptr);
      if (!device) return "no audio device could be opened";
      ALCcontext* context = alcCreateContext(device, nullptr);
      bus.fill({device, context});
      if (!context) return "the audio context could not be made";
    } else {
      if (!alcIsExtensionPresent(nullptr, "ALC_SOFT_loopback"))
        return "the audio library has no loopback device";
      auto openLoopback = reinterpret_cast<LPALCLOOPBACKOPENDEVICESOFT>(
          alcGetProcAddress(nullptr, "alcLoopbackOpenDeviceSOFT"));
      renderSamples =
          reinterpret_cast<LPALCRENDERSAMPLESSOFT>(alcGetProcAddress(nullptr, "alcRenderSamplesSOFT"));
      if (!openLoopback || !renderSamples) return "the audio library has no loopback device";
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
      for (Bus& b : bus) {
        b.device = openLoopback(nullptr);
        if (!b.device) return "the loopback device could not be opened";
        b.context = alcCreateContext(b.device, attributes);
        if (!b.context) return "the audio context could not be made";
      }
      for (auto& c : chunk) c.resize(kRenderChunk * 2);
    }
    for (const Bus& b : bus)
      if (!alcMakeContextCurrent(b.context)) return "the audio context could not be made";
    current = bus[kStemCount - 1].context;
    backend = wanted;
    return "";
  }

  // A buffer on the current group's device.
  ALuint addBuffer(int g, const Samples& samples) {
    buffers[g].push_back(makeBuffer(samples));
    return buffers[g].back();
  }

  ALuint loopSource(const Samples& samples) {
    const ALuint buffer = addBuffer(kTyresStem, samples);
    ALuint source = 0;
    alGenSources(1, &source);
    alSourcei(source, AL_BUFFER, static_cast<ALint>(buffer));
    alSourcei(source, AL_LOOPING, AL_TRUE);
    alSourcef(source, AL_REFERENCE_DISTANCE, kReferenceDistance);
    return source;
  }

  // Sounds into buffers, buffers onto sources.
  bool loadSounds() {
    loaded = true;
    bool fine = true;
    for (int g = 0; g < kStemCount; ++g) {
      if (!ownContext(g)) continue;
      use(g);
      alDistanceModel(AL_INVERSE_DISTANCE_CLAMPED);
      // The listener rides a camera whose speed the sound is not told: no Doppler shift.
      alDopplerFactor(0.0f);
      fine = fine && alGetError() == AL_NO_ERROR;
    }
    use(kEngineStem);
    alGenSources(1, &engine);
    alSourcef(engine, AL_REFERENCE_DISTANCE, kReferenceDistance);
    alSourcef(engine, AL_MAX_GAIN, kEngineGain);
    alGenBuffers(kStreamBuffers, streamBuffers.data());
    freeBuffers = streamBuffers;
    freeCount = kStreamBuffers;
    alGenSources(1, &clunk);
    alSourcei(clunk, AL_BUFFER, static_cast<ALint>(addBuffer(kEngineStem, clunkSound())));
    alSourcef(clunk, AL_REFERENCE_DISTANCE, kReferenceDistance);
    fine = fine && alGetError() == AL_NO_ERROR;
    use(kTyresStem);
    const Samples squealSamples = squealLoop();
    squealPower = loudestPower(squealSamples);
    for (int w = 0; w < 4; ++w) {
      squeal[w] = loopSource(squealSamples);
      // Each tyre starts at its own place in the loop, so four squeals do not add up in step.
      alSourcei(squeal[w], AL_SAMPLE_OFFSET, static_cast<ALint>(squealSamples.size() * w / 4));
    }
    const Samples scrapeSamples = scrapeLoop(), knockSamples = impactSound(), crashSamples = crashSound();
    scrapePower = loudestPower(scrapeSamples);
    knockPower = loudestPower(knockSamples);
    crashPower = loudestPower(crashSamples);
    scrape = loopSource(scrapeSamples);
    const ALuint knockBuffer = addBuffer(kTyresStem, knockSamples);
    const ALuint crashBuffer = addBuffer(kTyresStem, crashSamples);
    alGenSources(kImpactVoices, knock.data());
    alGenSources(kImpactVoices, crash.data());
    for (int i = 0; i < kImpactVoices; ++i) {
      alSourcei(knock[i], AL_BUFFER, static_cast<ALint>(knockBuffer));
      alSourcei(crash[i], AL_BUFFER, static_cast<ALint>(crashBuffer));
      alSourcef(knock[i], AL_REFERENCE_DISTANCE, kReferenceDistance);
      alSourcef(crash[i], AL_REFERENCE_DISTANCE, kReferenceDistance);
      alSourcef(knock[i], AL_MAX_GAIN, kMostImpactGain);
      alSourcef(crash[i], AL_MAX_GAIN, kMostImpactGain);
    }
    fine = fine && alGetError() == AL_NO_ERROR;
    use(kEventsStem);
    const std::array<Samples, kEventCount> sounds{
        {pickupSound(), deliverySound(), lowPowerSound(), winSound(), loseSound()}};
    for (int e = 0; e < kEventCount; ++e) {
      eventBuffer[e] = addBuffer(kEventsStem, sounds[e]);
      // The result's phrases are matched over their whole length, the rest over their loudest moment.
      eventPower[e] = loudestPower(sounds[e], e == kWin || e == kLose ? 3.0f : 0.4f);
      eventSeconds[e] = static_cast<float>(sounds[e].size()) / kSampleRate;
    }
    alGenSources(kEventCount, event.data());
    for (int e = 0; e < kEventCount; ++e) {
      // Event sounds are the game speaking to the player: at the listener, not in the scene.
      alSourcei(event[e], AL_BUFFER, static_cast<ALint>(eventBuffer[e]));
      alSourcei(event[e], AL_SOURCE_RELATIVE, AL_TRUE);
      alSource3f(event[e], AL_POSITION, 0.0f, 0.0f, 0.0f);
      alSourcef(event[e], AL_MAX_GAIN, kMostEventGain);
    }
    return fine && alGetError() == AL_NO_ERROR;
  }

  void startLoops() {
    use(kTyresStem);
    std::vector<ALuint> loops{scrape};
    loops.insert(loops.end(), squeal.begin(), squeal.end());
    for (ALuint source : loops) alSourcef(source, AL_GAIN, 0.0f);
    alSourcePlayv(static_cast<ALsizei>(loops.size()), loops.data());
    started = true;
  }

  // Keeps the engine's queue `lead` seconds ahead of the mixer: takes back the buffers played, makes
  // what is missing at the engine's speed and load, queues it, and (re)starts the source when it ran
  // dry.
  void streamEngine(float lead, float heardRpm, float heardLoad) {
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
    // Ran dry (or never started): start afresh.
    const bool restart = state != AL_PLAYING && streaming;
    if (restart) {
      ++underruns;
      longestTake = std::max(longestTake, static_cast<float>(aheadAfter));
    }
    if (state != AL_PLAYING) queuedSamples = offset = 0;
    const long ahead = queuedSamples - offset;
    if (!restart) longestTake = std::max(longestTake, static_cast<float>(aheadAfter - ahead));
    const long wanted = std::lround(lead * kEngineRate);
    const long missing = std::max(0L, wanted - ahead);
    const int chunks =
        static_cast<int>(std::min<long>((missing + kStreamChunk - 1) / kStreamChunk, freeCount));
    if (chunks > 0) {
      const int count = chunks * kStreamChunk;
      synth.render(engineSamples.data(), count, heardRpm, heardLoad);
      if (restart)
        for (int n = 0; n < std::min(count, kRestartFade); ++n)
          engineSamples[n] *= static_cast<float>(n) / kRestartFade;
      double power = 0.0;
      for (int n = 0; n < count; ++n) {
        engineOut[n] = static_cast<int16_t>(std::clamp(engineSamples[n], -1.0f, 1.0f) * 32767.0f);
        const float k = engineWeighting.run(engineSamples[n]);
        power += k * k;
      }
      enginePower = smoothTowards(enginePower.load(), static_cast<float>(power / count),
                                  static_cast<float>(count) / kEngineRate, kBedSmoothing);
      for (int c = 0; c < chunks; ++c) {
        const ALuint buffer = freeBuffers[--freeCount];
        alBufferData(buffer, AL_FORMAT_MONO16, engineOut.data() + c * kStreamChunk,
                     static_cast<ALsizei>(kStreamChunk * sizeof(int16_t)), kEngineRate);
        alSourceQueueBuffers(engine, 1, &buffer);
      }
      queuedSamples += count;
    }
    aheadAfter = queuedSamples - offset;
    if (state != AL_PLAYING && queuedSamples > 0) {
      alSourcePlay(engine);
      streaming = true;
    }
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

  // How loud the engine and the tyres sound now (mean square of the K-weighted mix at unit volume),
  // `ducked` as they will be under an event; the engine alone without the tyres.
  float bedPower(bool ducked, bool tyres) const {
    const float d = ducked ? kDuck * kDuck : duck * duck;
    float power = enginePower * kEngineGain * kEngineGain * engineFade * engineFade;
    if (tyres) {
      for (float g : squealGain) power += squealPower * kSquealGain * kSquealGain * g * g;
      power += scrapePower * kScrapeGain * kScrapeGain * scrapeGain * scrapeGain;
    }
    return power * d * fade * fade;
  }

  // Starts an event's sound as loud as `level` (dB against the engine's stream at full scale), or
  // kEventOver over the bed when that is louder (`overBed`), and ducks the bed under it.
  void play(Event e, float level, bool overBed = true) {
    const float target =
        std::max(dbToPower(level), overBed ? bedPower(true, true) * dbToPower(kEventOver) : 0.0f);
    alSourceStop(event[e]);
    alSourcef(event[e], AL_GAIN,
              std::min(kMostEventGain, std::sqrt(target / std::max(eventPower[e], 1e-12f))));
    alSourcePlay(event[e]);
    duckUntil = std::max(duckUntil, time + eventSeconds[e]);
  }

  void placeListener(const AudioFrame& f, float gain) {
    const ALfloat orientation[] = {f.listenerFront.x, f.listenerFront.y, f.listenerFront.z,
                                   f.listenerUp.x,    f.listenerUp.y,    f.listenerUp.z};
    for (int g = 0; g < kStemCount; ++g) {
      if (!ownContext(g)) continue;
      use(g);
      alListenerf(AL_GAIN, gain);
      alListener3f(AL_POSITION, f.listenerPosition.x, f.listenerPosition.y, f.listenerPosition.z);
      alListenerfv(AL_ORIENTATION, orientation);
    }
  }

  // The engine: its speed and its own throttle drive the synthesis; a change between forward gears
  // clunks as the drive is taken up.
  void mixEngine(const AudioFrame& f, float dt, bool over) {
    use(kEngineStem);
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
    // The bed ducks quickly under an event and comes back slowly after it.
    const bool under = time < duckUntil;
    duck = smoothTowards(duck, under ? kDuck : 1.0f, dt, under ? kDuckFall : kDuckRise);
    const glm::vec3 apart = f.vehiclePosition - f.listenerPosition;
    const float distance = glm::length(apart);
    fade = std::isfinite(distance) && distance > kReferenceDistance ? kReferenceDistance / distance : 1.0f;
    alSourcef(engine, AL_GAIN, kEngineGain * engineFade * duck);
    setPosition(engine, f.vehiclePosition);
    if (feeder.joinable()) {
      std::lock_guard<std::mutex> lock(streamLock);
      streamRpm = rpm;
      streamLoad = load;
    } else {
      streamEngine(std::min(dt, kLongestFrame) + kStreamLead, rpm, load);
    }
  }

  // Each tyre's squeal, and the body's scrape along a wall: loops that swell and die away.
  void mixTyres(const AudioFrame& f, float dt, bool over) {
    use(kTyresStem);
    for (int w = 0; w < 4; ++w) {
      const WheelSlip& wheel = f.wheels[w];
      const LoopVoice voice =
          over || !wheel.onGround ? LoopVoice{} : squealVoice(wheel.longSlip, wheel.latSlip, wheel.slipSpeed);
      squealGain[w] = smoothTowards(squealGain[w], voice.gain, dt,
                                    voice.gain > squealGain[w] ? kSquealRise : kSquealFall);
      alSourcef(squeal[w], AL_GAIN, kSquealGain * squealGain[w] * duck);
      // Each tyre a little apart in pitch, so four squeals do not add up in step.
      alSourcef(squeal[w], AL_PITCH, voice.pitch * (0.97f + 0.02f * static_cast<float>(w)));
      setPosition(squeal[w], f.vehiclePosition);
    }
    const LoopVoice voice = over ? LoopVoice{} : scrapeVoice(f.scrapeSpeed);
    scrapeGain =
        smoothTowards(scrapeGain, voice.gain, dt, voice.gain > scrapeGain ? kScrapeRise : kScrapeFall);
    alSourcef(scrape, AL_GAIN, kScrapeGain * scrapeGain * duck);
    alSourcef(scrape, AL_PITCH, voice.pitch);
    setPosition(scrape, f.vehiclePosition);
  }

  // Impacts, each pair of bodies at most once per pause.
  void mixImpacts(const AudioFrame& f) {
    use(kTyresStem);
    for (int i = 0; i < std::min(f.impactCount, AudioFrame::kMaxImpacts); ++i) {
      const ContactImpact& report = f.impacts[i];
      if (!(report.speedChange >= kQuietestImpact) || pairResting(report.pair)) continue;
      rememberPair(report.pair);
      const float strength = std::clamp(
          std::log(report.speedChange / kQuietestImpact) / std::log(kLoudestImpact / kQuietestImpact), 0.0f,
          1.0f);
      const bool heavy = strength >= kCrashStrength;
      // As loud against the engine as the hit is hard; over a quiet bed, as over the quietest.
      const float over = kSoftestImpactOver + (kHardestImpactOver - kSoftestImpactOver) * strength;
      // A hard hit ducks the engine and the tyres like an event.
      if (heavy) duckUntil = std::max(duckUntil, time + kHitDuck);
      const float target = std::max(bedPower(heavy, false), dbToPower(kQuietBed)) * dbToPower(over);
      const float gain = std::sqrt(target / std::max(heavy ? crashPower : knockPower, 1e-12f));
      playImpact(heavy ? crash : knock, heavy ? nextCrash : nextKnock, f.vehiclePosition,
                 std::min(gain, kMostImpactGain), 1.1f - 0.2f * strength);
    }
  }

  void mixEvents(const AudioFrame& f, float dt, bool over) {
    use(kEventsStem);
    if (f.pickup) play(kPickup, kQuietBed + kEventOver);
    if (f.delivery) {
      play(kDelivery, kQuietBed + kEventOver);
      deliveryTime = time;
    }
    if (f.lowPower && !over) {
      warningWait -= dt;
      if (warningWait <= 0.0f) {
        play(kLowPower, kQuietBed + kEventOver);
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
        // The engine fades out under it: the same loudness for either, whatever the engine was doing.
        play(lastResult == RaceResult::Won ? kWin : kLose, kResultLevel, false);
        resultWait = -1.0f;
      }
    }
  }
};

AudioSystem::AudioSystem(Backend backend, bool keepRender, bool keepStems)
    : out_(std::make_unique<Output>()) {
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
  // On the device the engine is streamed by a thread of its own; on the loopback, in game time.
  if (backend == Backend::Device) out_->startFeeder();
  out_->keep = keepRender && backend == Backend::Loopback;
  out_->keepStems = out_->keep && keepStems;
  // Room for the longest frame's samples, so keeping them never allocates while the game runs.
  if (out_->keep) out_->kept.reserve(kSampleRate * 2 + kRenderChunk * 2);
  if (out_->keepStems)
    for (auto& stem : out_->keptStems) stem.reserve(kSampleRate * 2 + kRenderChunk * 2);
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
    for (int g = 0; g < kStemCount; ++g) o.renderSamples(o.bus[g].device, o.chunk[g].data(), n);
    if (o.keep) {
      for (int i = 0; i < n * 2; ++i) {
        float sum = 0.0f;
        for (int g = 0; g < kStemCount; ++g) {
          sum += o.chunk[g][i];
          if (o.keepStems) o.keptStems[g].push_back(toSample(o.chunk[g][i]));
        }
        o.kept.push_back(toSample(sum));
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

const std::vector<int16_t>& AudioSystem::renderedStem(Stem stem) const {
  static const std::vector<int16_t> none;
  return out_ ? out_->keptStems[static_cast<int>(stem)] : none;
}

void AudioSystem::clearRendered() {
  if (!out_) return;
  out_->kept.clear();
  for (auto& stem : out_->keptStems) stem.clear();
}

long AudioSystem::underruns() const {
  return out_ ? out_->underruns.load() : 0;
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
