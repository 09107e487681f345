#include "shell/settings_store.h"

#include <QSettings>

#include <charconv>

namespace tonvela {
namespace {

class QtSettingsStore : public SettingsStore {
  public:
    QtSettingsStore() : m_settings(QStringLiteral("TonvelaApp"), QStringLiteral("TonvelaApp")) {}

    bool available() const override
    {
        return m_settings.status() == QSettings::NoError && m_settings.isWritable();
    }

    std::optional<int> readInt(const std::string& name) const override
    {
        const QVariant value = m_settings.value(QString::fromStdString(name));
        if (!value.isValid())
            return std::nullopt;
        bool ok = false;
        const int n = value.toInt(&ok);
        if (!ok)
            return std::nullopt;
        return n;
    }

    void writeInt(const std::string& name, int value) override
    {
        m_settings.setValue(QString::fromStdString(name), value);
    }

    std::optional<std::string> readText(const std::string& name) const override
    {
        const QVariant value = m_settings.value(QString::fromStdString(name));
        if (!value.isValid())
            return std::nullopt;
        return value.toString().toStdString();
    }

    void writeText(const std::string& name, const std::string& value) override
    {
        m_settings.setValue(QString::fromStdString(name), QString::fromStdString(value));
    }

    void flush() override { m_settings.sync(); }

  private:
    QSettings m_settings;
};

bool withinLimit(int v)
{
    return v >= -kPlacementLimit && v <= kPlacementLimit;
}

} // namespace

std::unique_ptr<SettingsStore> createQtSettingsStore()
{
    return std::make_unique<QtSettingsStore>();
}

std::optional<int> MemorySettingsStore::readInt(const std::string& name) const
{
    const auto it = values.find(name);
    if (it == values.end())
        return std::nullopt;
    int n = 0;
    const std::string& text = it->second;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), n);
    if (ec != std::errc() || end != text.data() + text.size())
        return std::nullopt;
    return n;
}

void MemorySettingsStore::writeInt(const std::string& name, int value)
{
    values[name] = std::to_string(value);
    ++writes;
}

std::optional<std::string> MemorySettingsStore::readText(const std::string& name) const
{
    const auto it = values.find(name);
    if (it == values.end())
        return std::nullopt;
    return it->second;
}

void MemorySettingsStore::writeText(const std::string& name, const std::string& value)
{
    values[name] = value;
    ++writes;
}

bool hasStoredPlacement(const SettingsStore& store)
{
    if (!store.available())
        return false;
    for (const char* key : {kKeyMainLeft, kKeyMainTop, kKeyMainRight, kKeyMainBottom})
        if (store.readInt(key))
            return true;
    return false;
}

WindowPlacement readWindowPlacement(const SettingsStore& store)
{
    WindowPlacement p;
    if (!store.available())
        return p;
    p.top = store.readInt(kKeyMainTop).value_or(p.top);
    p.left = store.readInt(kKeyMainLeft).value_or(p.left);
    p.bottom = store.readInt(kKeyMainBottom).value_or(p.bottom);
    p.right = store.readInt(kKeyMainRight).value_or(p.right);
    p.maximized = store.readInt(kKeyMaximized).value_or(0) != 0;
    if (withinLimit(p.left) && withinLimit(p.top) && withinLimit(p.right) && withinLimit(p.bottom) &&
        p.right > p.left && p.bottom > p.top)
        return p;
    // Damaged or impossible edges: a small window in a place that is surely on screen.
    WindowPlacement fallback;
    fallback.right = 600;
    fallback.bottom = 400;
    fallback.maximized = p.maximized;
    return fallback;
}

void writeWindowPlacement(SettingsStore& store, const WindowPlacement& placement)
{
    if (!store.available())
        return;
    if (!placement.maximized) {
        store.writeInt(kKeyMainLeft, placement.left);
        store.writeInt(kKeyMainTop, placement.top);
        store.writeInt(kKeyMainRight, placement.right);
        store.writeInt(kKeyMainBottom, placement.bottom);
    }
    store.writeInt(kKeyMaximized, placement.maximized ? 1 : 0);
    store.flush();
}

} // namespace tonvela
