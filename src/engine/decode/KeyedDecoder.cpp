#include "engine/decode/KeyedDecoder.h"

#include "engine/decode/KeyReader.h"

namespace cwt::decode {

KeyedDecoder::KeyedDecoder(const DecoderSettings& settings)
    : m_reader(std::make_unique<KeyReader>(settings)) {}

KeyedDecoder::KeyedDecoder(KeyedDecoder&&) noexcept = default;
KeyedDecoder& KeyedDecoder::operator=(KeyedDecoder&&) noexcept = default;
KeyedDecoder::~KeyedDecoder() = default;

void KeyedDecoder::push(const KeyStretch& stretch) { m_reader->push(stretch); }

void KeyedDecoder::idle(double nowMs) { m_reader->idle(nowMs); }

void KeyedDecoder::finish() { m_reader->finish(); }

std::vector<DecodedChar> KeyedDecoder::takeCharacters() { return m_reader->takeCharacters(); }

std::optional<DecodedChar> KeyedDecoder::preedit() const { return m_reader->preedit(); }

std::vector<ClassifiedStretch> KeyedDecoder::takeStretches() { return m_reader->takeStretches(); }

double KeyedDecoder::unitMs() const { return m_reader->unitMs(); }

}  // namespace cwt::decode
