#include "bench/gen/TextGenerator.h"

#include <algorithm>
#include <array>
#include <random>
#include <string_view>

#include "bench/gen/Symbols.h"
#include "engine/morse/Cp949Text.h"

namespace cwt::testgen {

namespace {

using Words = std::vector<std::string_view>;

class Picker {
public:
    explicit Picker(uint64_t seed) : m_engine(seed) {}
    size_t below(size_t n) { return static_cast<size_t>(m_engine() % n); }
    std::string_view pick(const Words& words) { return words[below(words.size())]; }
    bool chance(int percent) { return below(100) < static_cast<size_t>(percent); }

private:
    std::mt19937_64 m_engine;
};

const Words kPrefixes = {"HL", "DS", "6K", "DT", "W",  "K",  "N",  "AA", "JA", "JH", "JR",
                         "BV", "BY", "VK", "ZL", "DL", "G",  "F",  "I",  "EA", "UA", "VE",
                         "PY", "LU", "OH", "SM", "ON", "PA", "OK", "SP", "YB", "DU", "HS"};
const Words kNames = {"JOHN", "BOB",  "KIM",  "LEE",  "PARK",  "MIKE", "TOM",  "HANS",
                      "YUKI", "JOSE", "ANNA", "PETE", "DAVE",  "CHOI", "JUNG", "KANG",
                      "CHO",  "YOON", "SVEN", "IGOR", "MARIA", "KEN",  "JIM",  "AL"};
const Words kPlaces = {"SEOUL",  "BUSAN",  "DAEGU",  "INCHEON", "GWANGJU", "DAEJEON", "ULSAN",
                       "JEJU",   "SUWON",  "TOKYO",  "OSAKA",   "BERLIN",  "PARIS",   "LONDON",
                       "BOSTON", "DENVER", "SYDNEY", "MUNICH",  "ROME",    "MADRID",  "OSLO"};
const Words kRigs = {"IC7300", "FT991A", "TS590", "K3", "IC705", "FTDX10", "KX2", "FT817"};
const Words kAntennas = {"DIPOLE", "YAGI", "VERTICAL", "LOOP", "WINDOM", "EFHW", "HEXBEAM"};
const Words kWeather = {"SUNNY", "CLOUDY", "RAIN", "SNOW", "WINDY", "FOGGY", "HOT", "COLD"};
const Words kReports = {"599", "579", "559", "449", "5NN", "57N", "589", "339"};
const Words kGreetings = {"GM", "GA", "GE", "HI", "HELLO"};
const Words kChat = {"FB",  "OM",   "ES",  "HR",  "UR",  "PSE", "AGN", "CUL",  "GL",
                     "TNX", "TU",   "HPE", "CPY", "SIG", "RPT", "QSB", "QRM",  "QRN",
                     "QSL", "BURO", "ABT", "WX",  "PWR", "OP",  "DX",  "NICE", "SOLID"};

std::string Call(Picker& p) {
    std::string call(p.pick(kPrefixes));
    call += static_cast<char>('0' + p.below(10));
    const size_t letters = 1 + p.below(3);
    for (size_t i = 0; i < letters; ++i) call += static_cast<char>('A' + p.below(26));
    if (p.chance(8)) call += p.chance(50) ? "/P" : "/M";
    return call;
}

std::string Number(Picker& p, size_t below) { return std::to_string(p.below(below)); }

// Every choice is drawn before the line is put together, in a fixed order: the operands of one
// expression are evaluated in an order the language leaves open.
std::string EnglishLine(Picker& p) {
    const std::string me = Call(p);
    const std::string you = Call(p);
    const std::string name(p.pick(kNames));
    const std::string rst(p.pick(kReports));
    const std::string greeting(p.pick(kGreetings));
    const std::string place(p.pick(kPlaces));
    const std::string rig(p.pick(kRigs));
    const std::string antenna(p.pick(kAntennas));
    const std::string weather(p.pick(kWeather));
    const std::string temperature = Number(p, 36);
    const std::string serial = Number(p, 1000);
    const std::string megahertz = Number(p, 30);
    const std::string chat1(p.pick(kChat));
    const std::string chat2(p.pick(kChat));
    switch (p.below(7)) {
        case 0:
            return "CQ CQ CQ DE " + me + " " + me + " " + me + " K";
        case 1:
            return you + " DE " + me + " " + greeting + " OM TNX FER CALL UR RST " + rst + " " +
                   rst + " [BT] NAME " + name + " " + name + " [BT] QTH " + place + " HW? [AR] " +
                   you + " DE " + me + " [KN]";
        case 2:
            return "R R " + you + " DE " + me + " FB " + name + " TNX FER RPT UR SIG " + rst +
                   " [BT] RIG HR " + rig + " ES ANT " + antenna + " [BT] WX " + weather + " TEMP " +
                   temperature + "C [AR] " + you + " DE " + me + " [KN]";
        case 3:
            return you + " DE " + me + " TNX FER FB QSO " + name + " HPE CUL 73 GL [SK] " + you +
                   " DE " + me + " TU E E";
        case 4:
            return "QRZ? DE " + me + " K " + you + " 5NN " + serial + " TU " + me + " TEST";
        case 5:
            return "QSY " + megahertz + "." + serial + ", PSE QSL VIA BURO. " + chat1 + " " +
                   chat2 + " [BK]";
        default: {
            std::string line = you + " DE " + me;
            for (int i = 0; i < 8; ++i) line += " " + std::string(p.pick(kChat));
            return line + " " + serial + "W [KN]";
        }
    }
}

const Words kKoreanGreetings = {"안녕하세요", "반갑습니다",      "수고하셨습니다", "감사합니다",
                                "고맙습니다", "처음 뵙겠습니다", "또 뵙겠습니다"};
const Words kKoreanNames = {"김철수", "이영희", "박민수", "최지우", "정해원", "강은혜",
                            "조윤서", "윤재훈", "장예진", "임꽃님", "한쌍둥", "오뙤람"};
const Words kKoreanPlaces = {"서울", "부산", "대구", "인천", "광주", "대전", "울산",
                             "제주", "수원", "춘천", "강릉", "전주", "포항", "여수"};
const Words kKoreanWeather = {"맑음", "흐림",     "비",       "눈",        "바람이 셉니다",
                              "안개", "덥습니다", "춥습니다", "괜찮습니다"};
// Words rich in finals (compound finals too), compound vowels and double consonants.
const Words kKoreanWords = {
    "값이",   "닭고기", "흙",     "삶",       "앉다",     "많이",   "읽기",   "젊은",     "넓다",
    "핥다",   "읊다",   "없다",   "있습니다", "했습니다", "갔다",   "왔다",   "괜찮아요", "돼요",
    "뭐",     "왜",     "위",     "의사",     "의자",     "희망",   "외국",   "원",       "웬일",
    "궤도",   "쥐",     "꽃",     "까치",     "떡볶이",   "빵",     "뿌리",   "짜장면",   "쌀",
    "쓰레기", "예",     "예요",   "얘기",     "계속",     "혜택",   "안아",   "밖에",     "몫",
    "넋",     "옳다",   "싫어",   "여덟",     "굶다",     "잃다",   "훑다",   "끓다",     "밟다",
    "신호",   "출력",   "안테나", "송신",     "수신",     "주파수", "교신",   "무전기",   "전파",
    "아까",   "오빠",   "어때",   "가짜",     "아싸",     "학교",   "국가",   "읽고",     "맛있게",
    "과일",   "권투",   "귀신",   "최고",     "왜냐하면", "의견",   "뵈어요", "쇄도",     "줬어요"};

std::string KoreanRandomWord(Picker& p) {
    std::u16string word;
    for (int i = 0; i < 2; ++i) word += static_cast<char16_t>(0xAC00 + p.below(11172));
    return cp949::Utf16ToUtf8(word);
}

std::string KoreanLine(Picker& p, int randomEvery, int& wordCount) {
    auto word = [&](const Words& list) {
        ++wordCount;
        if (randomEvery > 0 && wordCount % randomEvery == 0) return KoreanRandomWord(p);
        return std::string(p.pick(list));
    };
    const size_t pattern = p.below(5);
    std::vector<std::string> w;
    switch (pattern) {
        case 0:
            w.push_back(word(kKoreanGreetings));
            w.push_back(word(kKoreanPlaces));
            w.push_back(word(kKoreanNames));
            return w[0] + " 여기는 " + w[1] + "입니다 이름은 " + w[2] + "입니다";
        case 1:
            w.push_back(std::string(p.pick(kReports)).substr(0, 1));
            w.push_back(Number(p, 100));
            w.push_back(word(kKoreanWords));
            w.push_back(word(kKoreanWords));
            return "신호는 " + w[0] + w[1] + " 잘 들립니다 " + w[2] + " " + w[3];
        case 2:
            w.push_back(word(kKoreanWeather));
            w.push_back(Number(p, 36));
            w.push_back(word(kKoreanWords));
            return "여기 날씨는 " + w[0] + " 기온은 " + w[1] + "도입니다 " + w[2];
        case 3:
            w.push_back(word(kKoreanPlaces));
            for (int i = 0; i < 3; ++i) w.push_back(word(kKoreanWords));
            w.push_back(word(kKoreanGreetings));
            return w[0] + "에서 " + w[1] + " " + w[2] + " " + w[3] + " " + w[4];
        default: {
            std::string line = word(kKoreanWords);
            for (int i = 0; i < 6; ++i) line += " " + word(kKoreanWords);
            return line;
        }
    }
}

size_t CharacterCount(const std::string& line) {
    const std::u16string symbols = Symbols(line);
    return static_cast<size_t>(
        std::count_if(symbols.begin(), symbols.end(), [](char16_t c) { return c != u' '; }));
}

}  // namespace

std::vector<std::string> EnglishQsoLines(uint64_t seed, size_t minSymbols) {
    Picker p(seed);
    std::vector<std::string> lines;
    for (size_t symbols = 0; symbols < minSymbols;) {
        lines.push_back(EnglishLine(p));
        symbols += CharacterCount(lines.back());
    }
    return lines;
}

std::vector<std::string> KoreanLines(uint64_t seed, size_t minSymbols, int randomEvery) {
    Picker p(seed);
    std::vector<std::string> lines;
    int wordCount = 0;
    for (size_t symbols = 0; symbols < minSymbols;) {
        lines.push_back(KoreanLine(p, randomEvery, wordCount));
        symbols += CharacterCount(lines.back());
    }
    return lines;
}

}  // namespace cwt::testgen
