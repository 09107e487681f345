#include "shell/recovery/autosave.h"

#include "shell/documents/document_window.h"
#include "shell/settings_store.h"

#include <QMetaObject>
#include <QPointer>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <ctime>

namespace tonvela {

std::chrono::seconds autosaveInterval(const SettingsStore& settings)
{
    const std::optional<int> seconds = settings.readInt(kKeyAutosaveSeconds);
    if (!seconds || *seconds < 1 || *seconds > kMaxAutosaveSeconds)
        return std::chrono::seconds(kMaxAutosaveSeconds);
    return std::chrono::seconds(*seconds);
}

Autosave::Autosave(std::string folder, Documents documents, std::chrono::milliseconds interval,
                   QObject* parent)
    : QObject(parent), m_folder(std::move(folder)), m_documents(std::move(documents)),
      m_timer(new QTimer(this))
{
    m_timer->setInterval(interval);
    connect(m_timer, &QTimer::timeout, this, [this] { saveNow(); });
    if (!m_folder.empty())
        m_timer->start();
}

Autosave::~Autosave()
{
    m_timer->stop();
    for (const auto& entry : m_files)
        remove(entry.second);
    m_files.clear();
    m_worker.flush();
}

std::chrono::milliseconds Autosave::interval() const
{
    return m_timer->intervalAsDuration();
}

void Autosave::setInterval(std::chrono::milliseconds interval)
{
    m_timer->setInterval(interval);
}

std::string Autosave::newFileName() const
{
    return newRecoveryFileName(m_folder);
}

std::string Autosave::fileOf(const DocumentWindow& document) const
{
    const auto it = m_files.find(&document);
    return it == m_files.end() ? std::string() : it->second;
}

void Autosave::remove(const std::string& file)
{
    m_worker.post([this, file] {
        m_written.erase(file);
        removeRecoveryFile(file);
    });
}

void Autosave::forget(const DocumentWindow& document)
{
    m_copiedAt.erase(&document);
    const auto it = m_files.find(&document);
    if (it == m_files.end())
        return;
    remove(it->second);
    m_files.erase(it);
}

void Autosave::closed(const DocumentWindow& document)
{
    forget(document);
    m_originals.erase(&document);
}

void Autosave::setOriginal(const DocumentWindow& document, const FileStamp& original)
{
    m_originals[&document] = original;
}

void Autosave::adopt(const DocumentWindow& document, const std::string& file, const FileStamp& original)
{
    forget(document);
    m_files[&document] = file;
    m_originals[&document] = original;
}

void Autosave::failed(const std::string& message)
{
    if (m_reportedFailure)
        return;
    m_reportedFailure = true;
    std::fprintf(stderr, "tonvela: %s\n", message.c_str());
    if (onFailure)
        onFailure(message);
}

bool Autosave::prepareFolder()
{
    if (m_folder.empty())
        return false;
    const FileResult made = makePrivateFolder(m_folder);
    if (!made)
        failed(made.error);
    return made.ok;
}

void Autosave::saveNow()
{
    if (m_folder.empty())
        return;
    const std::vector<DocumentWindow*> open = m_documents ? m_documents() : std::vector<DocumentWindow*>{};
    // Files of documents that are gone without a word.
    for (auto it = m_files.begin(); it != m_files.end();) {
        if (std::find(open.begin(), open.end(), it->first) == open.end()) {
            remove(it->second);
            m_copiedAt.erase(it->first);
            it = m_files.erase(it);
        } else {
            ++it;
        }
    }
    std::erase_if(m_originals, [&open](const auto& entry) {
        return std::find(open.begin(), open.end(), entry.first) == open.end();
    });
    const int64_t now = static_cast<int64_t>(std::time(nullptr));
    for (DocumentWindow* document : open) {
        if (!document->isModified()) {
            forget(*document);
            continue;
        }
        // A document whose file holds its present state already is not copied again.
        const std::optional<uint64_t> changes = document->changeCount();
        const auto copied = m_copiedAt.find(document);
        if (changes && copied != m_copiedAt.end() && copied->second == *changes && m_files.contains(document))
            continue;
        std::optional<RecoveryCopy> copy = document->recoveryCopy();
        if (!copy)
            continue;
        std::string& file = m_files[document];
        if (file.empty())
            file = newFileName();
        if (changes)
            m_copiedAt[document] = *changes;
        RecoveryEntry entry{copy->kind, document->path(), document->title(), now, currentProcess()};
        if (const auto it = m_originals.find(document);
            it != m_originals.end() && !entry.originalPath.empty())
            entry.original = it->second;
        m_worker.post([this, document, file, entry = std::move(entry), fileText = std::move(copy->fileText)] {
            const std::string text = fileText();
            // The same document under the same name and path is not written again.
            const std::size_t key = std::hash<std::string>{}(entry.kind + '\n' + entry.originalPath + '\n' +
                                                             entry.title + '\n' + text);
            if (const auto it = m_written.find(file); it != m_written.end() && it->second == key)
                return;
            const FileResult result = writeRecoveryFile(file, entry, text);
            if (result) {
                m_written[file] = key;
                return;
            }
            const std::string message =
                "Could not keep a recovery copy of \"" + entry.title + "\": " + result.error;
            // The next pass tries again.
            QMetaObject::invokeMethod(
                this,
                [this, document, message] {
                    m_copiedAt.erase(document);
                    failed(message);
                },
                Qt::QueuedConnection);
        });
    }
}

} // namespace tonvela
