#include "engine/practice/PracticeItems.h"

#include <algorithm>

namespace cwt {

namespace {

// Everyday words and the words and abbreviations of a CW contact, so that every stretch of the
// course has some: MARK and ARMS after five lessons, RST after seven, QRZ? near the end.
const std::vector<std::u16string_view> kEnglishWords = {
    u"ARM",     u"ARMS",  u"ASK",  u"MARK",  u"MASK",  u"RUM",   u"SUM",    u"KARMA",  u"UR",
    u"AR",      u"SK",    u"PART", u"STAR",  u"TRAP",  u"PAST",  u"MAST",   u"RUST",   u"TRUST",
    u"SMART",   u"SPARK", u"PUMP", u"TUSK",  u"SPUR",  u"RST",   u"TU",     u"UP",     u"SLOT",
    u"LOST",    u"POST",  u"PORT", u"MOST",  u"STORM", u"SMALL", u"TALL",   u"TOOL",   u"LOOP",
    u"ALSO",    u"ROOM",  u"SOLO", u"OM",    u"OP",    u"WAIT",  u"SWIM",   u"TWIST",  u"WORK",
    u"SLOW",    u"LOW",   u"MILK", u"TRIP",  u"SPLIT", u"WALK",  u"WILL",   u"PWR",    u"ANT",
    u"RAIN",    u"TRAIN", u"SNOW", u"NOW",   u"WIN",   u"UNIT",  u"POINT",  u"PRINT",  u"NOT",
    u"JUMP",    u"JUST",  u"JOIN", u"TEST",  u"PSE",   u"NAME",  u"ES",     u"ENTER",  u"METER",
    u"LEVEL",   u"SEE",   u"NEW",  u"RELAY", u"POWER", u"FB",    u"FIRST",  u"FILTER", u"OFF",
    u"FINE",    u"KEY",   u"YES",  u"MY",    u"YOU",   u"MANY",  u"EASY",   u"TYPE",   u"YEAR",
    u"VERY",    u"SERVE", u"VOLT", u"LIVE",  u"RIG",   u"AGN",   u"GREAT",  u"SIGNAL", u"GAIN",
    u"GM",      u"GA",    u"5NN",  u"QSL",   u"QSO",   u"QRP",   u"QRO",    u"QRM",    u"QRN",
    u"QSY",     u"QRS",   u"QRQ",  u"QRT",   u"QRV",   u"599",   u"QRZ",    u"ZONE",   u"ZERO",
    u"SIZE",    u"QTH",   u"HR",   u"HW",    u"HI",    u"THE",   u"THANKS", u"HOME",   u"HELLO",
    u"HAM",     u"HEAR",  u"WITH", u"WHAT",  u"88",    u"BK",    u"BAND",   u"BEAM",   u"BEST",
    u"BUG",     u"QRZ?",  u"QTH?", u"73",    u"CQ",    u"CW",    u"COPY",   u"CALL",   u"CLEAR",
    u"CONTEST", u"DE",    u"GOOD", u"RADIO", u"DAY",   u"DX",    u"TX",     u"RX",     u"WX",
    u"TNX",     u"XYL",
};

// Everyday words and the words of radio, for every stretch of the course: 아 in the first
// lesson, 안 and 나 in the second, 나라 and 아리랑 once ㄹ is learned.
const std::vector<std::u16string_view> kKoreanWords = {
    u"아",       u"안",   u"나",   u"난",     u"은",     u"는",   u"응",     u"이",   u"아이",
    u"나이",     u"인",   u"가",   u"기",     u"강",     u"각",   u"기간",   u"아기", u"가난",
    u"그",       u"거",   u"언니", u"거기",   u"어",     u"길",   u"날",     u"나라", u"아리랑",
    u"거리",     u"일",   u"알",   u"그늘",   u"기러기", u"사랑", u"시간",   u"산",   u"신",
    u"사이",     u"날씨", u"소리", u"오늘",   u"고기",   u"소식", u"송신",   u"도시", u"다리",
    u"돌",       u"달",   u"단어", u"마음",   u"사람",   u"이름", u"모스",   u"말",   u"문",
    u"마을",     u"감사", u"다음", u"감도",   u"무선",   u"서울", u"우리",   u"누구", u"구름",
    u"수신",     u"수고", u"원",   u"주소",   u"지도",   u"자리", u"조금",   u"전신", u"의자",
    u"연습",     u"저녁", u"여름", u"안녕",   u"내일",   u"노래", u"대구",   u"새",   u"한국",
    u"하늘",     u"해",   u"하나", u"신호",   u"호출",   u"세계", u"네",     u"제주", u"과자",
    u"학교",     u"요일", u"교신", u"부산",   u"바다",   u"부호", u"방송",   u"출력", u"친구",
    u"아마추어", u"야구", u"통신", u"안테나", u"휴일",   u"전파", u"주파수", u"코드", u"키",
};

// The characters an item of `word` asks the operator to copy, as the course counts them.
std::u16string SymbolsOf(Course course, std::u16string_view word) {
    if (course == Course::English) return std::u16string(word);
    std::u16string jamo;
    for (char16_t c : word) jamo += SentJamo(c);
    return jamo;
}

bool OnlyLearned(std::u16string_view symbols, std::u16string_view learned) {
    return !symbols.empty() && std::all_of(symbols.begin(), symbols.end(), [&](char16_t c) {
        return learned.find(c) != std::u16string_view::npos;
    });
}

// A character of `pool`, the last one (the newest of the lesson) weighted twice.
char16_t DrawWeighted(std::u16string_view pool, char16_t newest, std::mt19937& random) {
    const bool hasNewest = pool.find(newest) != std::u16string_view::npos;
    const int count = static_cast<int>(pool.size()) + (hasNewest ? 1 : 0);
    const int pick = std::uniform_int_distribution<int>(0, count - 1)(random);
    if (pick >= static_cast<int>(pool.size())) return newest;
    return pool[static_cast<size_t>(pick)];
}

std::u16string Filtered(std::u16string_view learned, bool (*keep)(char16_t)) {
    std::u16string out;
    for (char16_t c : learned)
        if (keep(c)) out += c;
    return out;
}

bool IsLetter(char16_t c) { return c >= u'A' && c <= u'Z'; }
bool IsDigit(char16_t c) { return c >= u'0' && c <= u'9'; }

std::u16string EnglishGroup(std::u16string_view learned, std::mt19937& random) {
    std::u16string group;
    for (int i = 0; i < kGroupLength; ++i) group += DrawWeighted(learned, learned.back(), random);
    return group;
}

// Five syllables of learned jamo; about one in three has a final consonant.
std::u16string KoreanGroup(std::u16string_view learned, std::mt19937& random) {
    const std::u16string consonants = Filtered(learned, IsConsonantJamo);
    const std::u16string vowels = Filtered(learned, IsVowelJamo);
    const char16_t newest = learned.back();
    std::u16string group;
    for (int i = 0; i < kGroupLength; ++i) {
        const char16_t initial = DrawWeighted(consonants, newest, random);
        const char16_t vowel = DrawWeighted(vowels, newest, random);
        char16_t final = 0;
        if (std::uniform_int_distribution<int>(0, 2)(random) == 0)
            final = DrawWeighted(consonants, newest, random);
        group += ComposeSyllable(initial, vowel, final).value_or(u'?');
    }
    return group;
}

std::vector<std::u16string_view> CallSignPrefixes(std::u16string_view learned) {
    std::vector<std::u16string_view> prefixes;
    for (std::u16string_view prefix : {std::u16string_view(u"HL"), std::u16string_view(u"DS")})
        if (OnlyLearned(prefix, learned)) prefixes.push_back(prefix);
    return prefixes;
}

std::u16string CallSign(std::u16string_view learned, std::mt19937& random) {
    const std::vector<std::u16string_view> prefixes = CallSignPrefixes(learned);
    const std::u16string digits = Filtered(learned, IsDigit);
    const std::u16string letters = Filtered(learned, IsLetter);
    auto any = [&random](std::u16string_view pool) {
        return pool[static_cast<size_t>(
            std::uniform_int_distribution<int>(0, static_cast<int>(pool.size()) - 1)(random))];
    };
    std::u16string call(
        prefixes[std::uniform_int_distribution<size_t>(0, prefixes.size() - 1)(random)]);
    call += any(digits);
    const int suffixLength = std::uniform_int_distribution<int>(2, 3)(random);
    for (int i = 0; i < suffixLength; ++i) call += any(letters);
    return call;
}

std::vector<std::u16string> DrawWords(const std::vector<std::u16string_view>& words, int count,
                                      std::mt19937& random) {
    std::vector<std::u16string> items;
    size_t last = words.size();
    for (int i = 0; i < count; ++i) {
        size_t pick = std::uniform_int_distribution<size_t>(0, words.size() - 1)(random);
        if (pick == last && words.size() > 1) pick = (pick + 1) % words.size();
        items.emplace_back(words[pick]);
        last = pick;
    }
    return items;
}

}  // namespace

const std::vector<std::u16string_view>& CourseWords(Course course) {
    return course == Course::Korean ? kKoreanWords : kEnglishWords;
}

std::vector<std::u16string_view> WordsOfLesson(Course course, std::u16string_view learned) {
    std::vector<std::u16string_view> words;
    for (std::u16string_view word : CourseWords(course))
        if (OnlyLearned(SymbolsOf(course, word), learned)) words.push_back(word);
    return words;
}

ItemShortage CheckItems(Course course, int lesson, ItemKind kind) {
    const std::u16string learned = LessonSymbols(course, lesson);
    switch (kind) {
        case ItemKind::Groups:
            return ItemShortage::None;
        case ItemKind::Words:
            return WordsOfLesson(course, learned).empty() ? ItemShortage::NoWords
                                                          : ItemShortage::None;
        case ItemKind::CallSigns:
            if (course != Course::English) return ItemShortage::CallSignsNotInCourse;
            if (CallSignPrefixes(learned).empty()) return ItemShortage::NoCallSignPrefix;
            if (Filtered(learned, IsDigit).empty()) return ItemShortage::NoCallSignDigit;
            return ItemShortage::None;
    }
    return ItemShortage::None;
}

std::vector<std::u16string> DrawItems(Course course, int lesson, ItemKind kind, int count,
                                      std::mt19937& random) {
    std::vector<std::u16string> items;
    if (count <= 0 || CheckItems(course, lesson, kind) != ItemShortage::None) return items;
    const std::u16string learned = LessonSymbols(course, lesson);
    if (kind == ItemKind::Words) return DrawWords(WordsOfLesson(course, learned), count, random);
    for (int i = 0; i < count; ++i) {
        if (kind == ItemKind::CallSigns)
            items.push_back(CallSign(learned, random));
        else if (course == Course::Korean)
            items.push_back(KoreanGroup(learned, random));
        else
            items.push_back(EnglishGroup(learned, random));
    }
    return items;
}

}  // namespace cwt
