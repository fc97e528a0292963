#include "ui/common/KeyAdapterMapping.h"

#include <QKeySequence>
#include <QStringList>
#include <algorithm>

namespace cwt {

namespace {

QString LeverWord(keyer::Lever lever) {
    switch (lever) {
        case keyer::Lever::Dit:
            return QStringLiteral("dit");
        case keyer::Lever::Dah:
            return QStringLiteral("dah");
        case keyer::Lever::Straight:
            break;
    }
    return QStringLiteral("straight");
}

std::optional<keyer::Lever> LeverOfWord(const QString& word) {
    if (word == QStringLiteral("dit")) return keyer::Lever::Dit;
    if (word == QStringLiteral("dah")) return keyer::Lever::Dah;
    if (word == QStringLiteral("straight")) return keyer::Lever::Straight;
    return std::nullopt;
}

}  // namespace

bool KeyboardKey::sameKey(const KeyboardKey& other) const {
    if (scanCode != 0 && other.scanCode != 0) return scanCode == other.scanCode;
    if (keySym != 0 && other.keySym != 0) return keySym == other.keySym;
    return qtKey != 0 && qtKey == other.qtKey;
}

QString KeyboardKey::name() const {
    if (sameKey(keys::kLeftCtrl) && (scanCode != 0 || keySym != 0))
        return QStringLiteral("왼쪽 Ctrl");
    if (sameKey(keys::kRightCtrl) && (scanCode != 0 || keySym != 0))
        return QStringLiteral("오른쪽 Ctrl");
    if (qtKey != 0) return QKeySequence(qtKey).toString(QKeySequence::NativeText);
    return QStringLiteral("키 %1").arg(scanCode);
}

KeyAdapterMapping KeyAdapterMapping::defaults() {
    KeyAdapterMapping mapping;
    mapping.bind(keys::kLeftCtrl, keyer::Lever::Dit);
    mapping.bind(keys::kLeftBracket, keyer::Lever::Dit);
    mapping.bind(keys::kRightCtrl, keyer::Lever::Dah);
    mapping.bind(keys::kRightBracket, keyer::Lever::Dah);
    return mapping;
}

void KeyAdapterMapping::bind(const KeyboardKey& key, keyer::Lever lever) {
    unbind(key);
    m_bindings.push_back({key, lever});
}

void KeyAdapterMapping::unbind(const KeyboardKey& key) {
    std::erase_if(m_bindings, [&](const KeyBinding& b) { return b.key.sameKey(key); });
}

void KeyAdapterMapping::setStraightKey(std::optional<KeyboardKey> key) {
    std::erase_if(m_bindings,
                  [](const KeyBinding& b) { return b.lever == keyer::Lever::Straight; });
    if (key) bind(*key, keyer::Lever::Straight);
}

std::optional<KeyboardKey> KeyAdapterMapping::straightKey() const {
    for (const KeyBinding& binding : m_bindings)
        if (binding.lever == keyer::Lever::Straight) return binding.key;
    return std::nullopt;
}

const KeyBinding* KeyAdapterMapping::bindingOf(const KeyboardKey& pressed) const {
    const KeyBinding* found = nullptr;
    for (const KeyBinding& binding : m_bindings) {
        if (!binding.key.sameKey(pressed)) continue;
        if (found && found->lever != binding.lever) return nullptr;  // cannot tell which
        if (!found) found = &binding;
    }
    return found;
}

QString KeyAdapterMapping::toSetting() const {
    QStringList parts;
    for (const KeyBinding& b : m_bindings)
        parts << QStringLiteral("%1:%2:%3:%4")
                     .arg(LeverWord(b.lever))
                     .arg(b.key.scanCode)
                     .arg(b.key.keySym)
                     .arg(b.key.qtKey);
    return parts.join(QLatin1Char(';'));
}

std::optional<KeyAdapterMapping> KeyAdapterMapping::fromSetting(const QString& line) {
    KeyAdapterMapping mapping;
    for (const QString& part : line.split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
        const QStringList fields = part.trimmed().split(QLatin1Char(':'));
        if (fields.size() != 4) return std::nullopt;
        const std::optional<keyer::Lever> lever = LeverOfWord(fields[0]);
        bool ok[3] = {};
        const KeyboardKey key{fields[1].toUInt(&ok[0]), fields[2].toUInt(&ok[1]),
                              fields[3].toInt(&ok[2])};
        if (!lever || !ok[0] || !ok[1] || !ok[2]) return std::nullopt;
        if (key.scanCode == 0 && key.keySym == 0 && key.qtKey == 0) return std::nullopt;
        if (*lever == keyer::Lever::Straight)
            mapping.setStraightKey(key);
        else
            mapping.bind(key, *lever);
    }
    return mapping;
}

}  // namespace cwt
