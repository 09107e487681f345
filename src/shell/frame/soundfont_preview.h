#pragma once

#include <QObject>

#include <atomic>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace tonvela {

class Notifier;
class Player;

// The sample of a SoundFont bank the "Browse" button of the sheet options panel plays.
inline constexpr int kPreviewSample = 3;

// "Browse": plays one sample of a SoundFont bank the user picked, as a preview. The bank is read
// on a thread of its own, so a large file never holds up the window; the sample then plays
// through the player, and the bank is let go on a thread again once its sample has been handed
// over. A file that is not a SoundFont 2 bank, or a bank without sample kPreviewSample, is
// reported as an "Error" through the notifier instead.
//
// Thread rules: start() and the reports on the user-interface thread; the loading threads touch
// only their own bank. The destructor waits for threads still running.
class SoundFontPreview : public QObject {
  public:
    SoundFontPreview(Player& player, Notifier& notifier, QObject* parent = nullptr);
    ~SoundFontPreview() override;
    SoundFontPreview(const SoundFontPreview&) = delete;
    SoundFontPreview& operator=(const SoundFontPreview&) = delete;

    // Loads the bank at `path` and plays its sample kPreviewSample; returns at once.
    void start(const std::string& path);
    // Previews started whose result (the sample played, or the error shown) has not come yet.
    int pending() const { return m_pending; }

  private:
    struct Worker {
        std::thread thread;
        std::shared_ptr<std::atomic<bool>> done;
    };
    // Runs `job` on a thread of its own; threads that ended are joined first.
    template <class Job> void spawn(Job&& job);
    void joinFinished();

    Player& m_player;
    Notifier& m_notifier;
    std::vector<Worker> m_workers;
    int m_pending = 0;
};

} // namespace tonvela
