#include "engine/sending/SendingTexts.h"

#include <array>
#include <vector>

namespace cwt {

namespace {

// The lines of a contact as Korean stations key them, with the stations' calls, a report, a
// name and a town filled in. The procedure signs are those the program sends.
constexpr std::array<std::u16string_view, 10> kQsoLines = {
    u"CQ CQ CQ DE {MY} {MY} {MY} K",
    u"{DX} DE {MY} {MY} K",
    u"{DX} DE {MY} GM TNX FER CALL UR RST {RST} {RST} [BT] K",
    u"R R {DX} DE {MY} NAME {NAME} {NAME} QTH {QTH} {QTH} HW? [KN]",
    u"{DX} DE {MY} FB OM UR RST {RST} NAME {NAME} [BT] QTH {QTH} [AR] {DX} DE {MY} K",
    u"R TNX FER RPRT [BT] RIG 100W ANT DIPOLE [BT] WX FINE {DX} DE {MY} K",
    u"TNX FER NICE QSO {NAME} 73 ES GL [SK] {DX} DE {MY} TU",
    u"QRZ? DE {MY} K",
    u"{DX} DE {MY} PSE QSL VIA BURO TNX 73 [SK]",
    u"CQ TEST {MY} {MY} TEST",
};
constexpr std::array<std::u16string_view, 8> kNames = {u"KIM",  u"LEE", u"PARK", u"CHOI",
                                                       u"JUNG", u"HAN", u"TOM",  u"BOB"};
constexpr std::array<std::u16string_view, 8> kTowns = {u"SEOUL",   u"BUSAN", u"DAEGU", u"INCHEON",
                                                       u"DAEJEON", u"ULSAN", u"JEJU",  u"GWANGJU"};
constexpr std::array<std::u16string_view, 5> kReports = {u"599", u"579", u"559", u"5NN", u"449"};

template <typename List>
std::u16string_view Any(const List& list, std::mt19937& random) {
    return list[std::uniform_int_distribution<size_t>(0, list.size() - 1)(random)];
}

void ReplaceAll(std::u16string& text, std::u16string_view field, std::u16string_view value) {
    for (size_t at = text.find(field); at != std::u16string::npos;
         at = text.find(field, at + value.size()))
        text.replace(at, field.size(), value);
}

std::u16string QsoLine(std::mt19937& random) {
    const std::vector<std::u16string> calls =
        DrawItems(Course::English, LessonCount(Course::English), ItemKind::CallSigns, 2, random);
    std::u16string line(Any(kQsoLines, random));
    ReplaceAll(line, u"{MY}", calls[0]);
    ReplaceAll(line, u"{DX}", calls[1]);
    ReplaceAll(line, u"{RST}", Any(kReports, random));
    ReplaceAll(line, u"{NAME}", Any(kNames, random));
    ReplaceAll(line, u"{QTH}", Any(kTowns, random));
    return line;
}

std::u16string Joined(const std::vector<std::u16string>& items) {
    std::u16string text;
    for (const std::u16string& item : items) {
        if (!text.empty()) text += u' ';
        text += item;
    }
    return text;
}

}  // namespace

ItemShortage CheckSendingText(Course course, [[maybe_unused]] int lesson, SendingTextKind kind) {
    switch (kind) {
        case SendingTextKind::LessonGroups:
        case SendingTextKind::Free:
            return ItemShortage::None;
        case SendingTextKind::Words:
            return CheckItems(course, LessonCount(course), ItemKind::Words);
        case SendingTextKind::CallSigns:
        case SendingTextKind::QsoLine:
            return course == Course::English ? ItemShortage::None
                                             : ItemShortage::CallSignsNotInCourse;
    }
    return ItemShortage::None;
}

std::u16string DrawSendingText(Course course, int lesson, SendingTextKind kind, int count,
                               std::mt19937& random) {
    if (CheckSendingText(course, lesson, kind) != ItemShortage::None) return {};
    const int last = LessonCount(course);
    switch (kind) {
        case SendingTextKind::LessonGroups:
            return Joined(DrawItems(course, lesson, ItemKind::Groups, count, random));
        case SendingTextKind::Words:
            return Joined(DrawItems(course, last, ItemKind::Words, count, random));
        case SendingTextKind::CallSigns:
            return Joined(DrawItems(course, last, ItemKind::CallSigns, count, random));
        case SendingTextKind::QsoLine:
            return QsoLine(random);
        case SendingTextKind::Free:
            break;
    }
    return {};
}

}  // namespace cwt
