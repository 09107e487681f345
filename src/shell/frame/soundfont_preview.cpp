#include "shell/frame/soundfont_preview.h"

#include "audio/sound_bank.h"
#include "platform/notifier.h"
#include "shell/documents/document_window.h"
#include "shell/player.h"

#include <QMetaObject>

#include <utility>

namespace tonvela {
namespace {

// What a loading thread hands back: the bank, ready to play, or why it cannot be previewed.
struct Loaded {
    std::shared_ptr<audio::SoundBank> bank;
    std::string error;
    std::vector<std::string> warnings;
};

Loaded loadBank(const std::string& path)
{
    Loaded r;
    r.bank = std::make_shared<audio::SoundBank>();
    CollectingNotifier collected; // the size message is shown on the user-interface thread
    const LoadResult result = r.bank->load(path, collected);
    for (const auto& w : collected.warnings)
        r.warnings.push_back(w.text);
    const std::string name = "\"" + fileTitle(path) + "\"";
    const unsigned char* bytes = nullptr;
    std::size_t length = 0;
    if (!result.ok())
        r.error = "Could not preview " + name + ": " + result.error + ".";
    else if (!r.bank->sampleBytes(kPreviewSample, bytes, length))
        r.error = "Could not preview " + name +
                  ": the bank has fewer than four samples, and the preview "
                  "plays the fourth.";
    if (!r.error.empty())
        r.bank.reset();
    return r;
}

} // namespace

SoundFontPreview::SoundFontPreview(Player& player, Notifier& notifier, QObject* parent)
    : QObject(parent), m_player(player), m_notifier(notifier)
{
}

SoundFontPreview::~SoundFontPreview()
{
    for (Worker& w : m_workers)
        if (w.thread.joinable())
            w.thread.join();
}

template <class Job> void SoundFontPreview::spawn(Job&& job)
{
    joinFinished();
    auto done = std::make_shared<std::atomic<bool>>(false);
    m_workers.push_back({std::thread([job = std::forward<Job>(job), done]() mutable {
                             job();
                             done->store(true, std::memory_order_release);
                         }),
                         done});
}

void SoundFontPreview::joinFinished()
{
    std::erase_if(m_workers, [](Worker& w) {
        if (!w.done->load(std::memory_order_acquire))
            return false;
        w.thread.join();
        return true;
    });
}

void SoundFontPreview::start(const std::string& path)
{
    ++m_pending;
    spawn([this, path] {
        auto loaded = std::make_shared<Loaded>(loadBank(path));
        // The result goes to the user-interface thread. This object outlives the thread (its
        // destructor joins it); a result still queued when it goes is dropped with it. The
        // event queue owns the posted call.
        QMetaObject::invokeMethod(
            this,
            [this, loaded] {
                --m_pending;
                for (const std::string& w : loaded->warnings)
                    m_notifier.warning(w, "Error");
                if (!loaded->bank) {
                    m_notifier.error(loaded->error, "Error");
                    return;
                }
                m_player.playSampleOf(*loaded->bank, kPreviewSample);
                // The sample is the stream's own copy now: the bank goes, off this thread.
                spawn([bank = std::move(loaded->bank)]() mutable { bank.reset(); });
            },
            Qt::QueuedConnection);
    });
}

} // namespace tonvela
