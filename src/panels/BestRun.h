#pragma once
// The player's best run on a stage and the live delta against it.
//
// A run is the stage time at every kStepMetres of distance driven since the
// start. The table is sized once when the run starts (from the stage's
// length), so a driving frame allocates nothing. A run counts when the host's
// finished flag comes with the distance driven near the stage's length; a
// counted run faster than the best of its stage and car becomes the best.
// A restart (the stage time going back) or leaving the stage without a
// finish drops the run. A stage is known by its length at the start rounded
// to the metre, the car by its slot (RunKey).
//
// The best file is small text (formatBestFile / parseBestFile); reading and
// writing it is the caller's (BestSource, pendingBest), so this file holds
// no Windows call and builds natively too.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace ostrel::bestrun {

inline constexpr float kStepMetres = 5.0f;
// A stage whose length the game does not give still gets a table, this long.
inline constexpr float kUnknownLengthMetres = 100000.0f;

struct RunKey {
  std::int32_t stageMetres = 0;  // 0: the game gave no length
  std::int32_t car = 0;          // the car slot, 0..7
  bool operator==(const RunKey&) const = default;
};

// The key of a stage of `lengthMetres` driven in `carSlot`.
RunKey keyFor(float lengthMetres, std::int32_t carSlot);

struct RunTable {
  RunKey key;
  bool valid = false;
  float finishTime = 0.0f;
  // times[i]: the stage time when the distance driven reached i * kStepMetres.
  std::vector<float> times;
  // The number of steps reached so far (times beyond are unused room).
  std::int32_t steps = 0;
  // The best's stage time at `metres`, linear between steps; false past its
  // last step.
  bool timeAt(float metres, float& seconds) const;
};

// ---- The best file ----

// "stage-<metres>m-car<slot + 1>.txt"
std::string bestFileName(const RunKey& key);
std::string formatBestFile(const RunTable& run);

enum class FileProblem : std::uint8_t {
  kNone,
  kNotABestFile,   // the first line is not the file's heading
  kOtherKey,       // written for another stage or car (or another rule)
  kTruncated,      // fewer step lines than it says, or no end line
  kOutOfOrder,     // step lines not one step apart, or times going back
  kBadNumber,      // a value that does not read as one
};
// What is wrong, as it follows the file's path in the log ("... is cut short").
const char* fileProblemText(FileProblem problem);
// Reads `text` into `into` (its room reused); on a problem `into` is invalid.
FileProblem parseBestFile(std::string_view text, const RunKey& expected, RunTable& into);

// ---- Following the stage ----

// What the frame driver reads from the host each frame.
struct StageSample {
  bool onStage = false;      // game mode "driving a stage"
  bool paused = false;
  bool finished = false;     // the host's finished flag
  float preStart = 0.0f;     // countdown timer, above 0 before the start
  float stageTime = 0.0f;
  float distanceWord = 0.0f; // counts down from the stage's length
  float speedKmh = 0.0f;
  std::int32_t carSlot = 0;
};

// Reads the stored best of a key (the file), once per key.
class BestSource {
 public:
  virtual ~BestSource() = default;
  // Fills `into` (reusing its room) and returns true when a best is stored.
  virtual bool read(const RunKey& key, RunTable& into) = 0;
};

// Things said once in the log (bits of Recorder::notices()).
enum Notice : std::uint32_t {
  kNoticeLengthZero = 1,       // the stage's length reads 0
  kNoticeDistanceStill = 2,    // the distance does not fall while the car moves
};

enum class Phase : std::uint8_t { kIdle, kWaiting, kRunning, kFinished };

class Recorder {
 public:
  explicit Recorder(BestSource* source = nullptr) : source_(source) {}
  void setSource(BestSource* source) { source_ = source; }
  BestSource* source() const { return source_; }

  // One frame of the host's state.
  void frame(const StageSample& s);

  Phase phase() const { return phase_; }
  const RunKey& key() const { return key_; }
  bool bestAvailable() const { return best_.valid && keyKnown_ && phase_ != Phase::kIdle; }
  const RunTable& best() const { return best_; }
  // The run's time minus the best's at the same distance (the last one past
  // the best's last step); 0 without a best.
  float delta() const { return deltaValid_ ? delta_ : 0.0f; }
  bool deltaValid() const { return deltaValid_; }
  float driven() const { return driven_; }
  // The stage time of the last frame followed.
  float stageTime() const { return lastTime_; }
  bool usesSpeedDistance() const { return integrate_; }

  // The finish: its time, whether it counted, whether it made a new best,
  // and the best it was measured against (0 when there was none).
  float finishTime() const { return finishTime_; }
  bool finishCounted() const { return finishCounted_; }
  bool newBest() const { return newBest_; }
  float previousBestTime() const { return previousBest_; }

  // A best not yet written: the caller writes it (off the driving frames)
  // and calls written().
  bool pendingWrite() const { return pending_ && best_.valid; }
  const RunTable& pendingBest() const { return best_; }
  void written() { pending_ = false; }

  // Notices raised since the last call (each kind once per process).
  std::uint32_t takeNotices() {
    const std::uint32_t n = newNotices_;
    newNotices_ = 0;
    return n;
  }

 private:
  void ensureBest(const RunKey& key);
  void begin(const StageSample& s);
  void advance(const StageSample& s);
  void record(float fromMetres, float fromTime, float toMetres, float toTime);
  void finish(const StageSample& s);
  void notice(Notice n);

  BestSource* source_ = nullptr;
  Phase phase_ = Phase::kIdle;
  RunKey key_;
  bool keyKnown_ = false;
  RunTable best_;
  RunTable run_;
  float startWord_ = 0.0f;
  float armedWord_ = 0.0f;
  bool armed_ = false;
  float lastTime_ = 0.0f;
  float driven_ = 0.0f;
  float wordDriven_ = 0.0f;
  float speedDriven_ = 0.0f;
  bool integrate_ = false;
  float delta_ = 0.0f;
  bool deltaValid_ = false;
  float finishTime_ = 0.0f;
  bool finishCounted_ = false;
  bool newBest_ = false;
  float previousBest_ = 0.0f;
  bool pending_ = false;
  std::uint32_t saidNotices_ = 0;
  std::uint32_t newNotices_ = 0;
};

// Whether `driven` metres finish a stage of `length` metres.
bool nearTheLength(float driven, float length);

// ---- What the panel and the gauges read ----

// The plug-in's one recorder.
Recorder& liveRecorder();

// What the gauges read: published from the live recorder after each frame it
// follows (publish), set directly by the gauge preview tool.
struct LiveValues {
  float delta = 0.0f;     // seconds, minus ahead of the best; 0 without a best
  float bestTime = 0.0f;  // the best's stage time; 0 without a best
  bool available = false; // a best for the stage and car being driven
};
LiveValues& liveValues();
void publish(const Recorder& recorder);
float deltaSeconds();
float bestStageTime();
bool bestAvailable();

// "-1.23", "+0.45", "0.00": hundredths, signed; writes at most size - 1
// characters. Returns -1 ahead, +1 behind, 0 level (at the hundredth shown).
int formatDelta(float seconds, char* out, std::size_t size);
// "3:05.40" (minutes, seconds and hundredths), "38.47" under a minute.
void formatStageTime(float seconds, char* out, std::size_t size);

}  // namespace ostrel::bestrun
