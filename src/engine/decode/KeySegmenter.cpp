#include "engine/decode/KeySegmenter.h"

#include <algorithm>
#include <cmath>

namespace cwt::decode {

namespace {

// Before the first mark the key has been up "forever": a long space from far back.
constexpr long kFarBack = -1000000;

// Whether a mark whose value is at most `bound` cannot beat the best so far; of equal values
// the first tried wins.
bool CannotBeat(double bound, double best, bool triedLater) {
    return bound < best || (bound == best && triedLater);
}

}  // namespace

KeySegmenter::KeySegmenter(const SegmentScorer& scorer)
    : m_scorer(scorer), m_ring(kRingSize), m_mask(kRingSize - 1) {
    m_anchor = kFarBack;
    m_anchorMark = true;
    m_floor = 0;
    m_model = DurationModel(ElementLengths{});
    for (size_t step = 0; step < m_logSteps.size(); ++step)
        m_logSteps[step] = std::log(static_cast<double>(std::max<size_t>(step, 1)));
}

void KeySegmenter::setModel(const DurationModel& model) { m_model = model; }

void KeySegmenter::setLengthsPerStep(int lengths) { m_lengthsPerStep = std::max(lengths, 1); }

double KeySegmenter::markEnding(long b) const {
    if (b > m_floor) return at(b).mark;
    return m_anchorMark && b == m_anchor ? 0.0 : kNone;
}

double KeySegmenter::shortSpaceEnding(long b) const {
    if (b > m_floor) return at(b).space;
    if (!m_anchorMark) return b == m_anchor ? 0.0 : kNone;
    const long d = b - m_anchor;
    return d > 0 && d < m_model.longSpace() ? m_model.spaceLog(static_cast<int>(d)) : kNone;
}

double KeySegmenter::longSpaceEnding(long b) const {
    if (b > m_floor) return at(b).longSpace;
    if (!m_anchorMark) return kNone;
    const long beyond = b - m_anchor - m_model.longSpace();
    if (beyond < 0) return kNone;
    return m_model.longSpaceLog() + static_cast<double>(beyond) * m_model.longSpaceStepLog();
}

double KeySegmenter::spaceBefore(long b) const {
    return std::max(shortSpaceEnding(b), longSpaceEnding(b));
}

StretchSums KeySegmenter::sums(long start, long end) const {
    const std::complex<double> first = at(start).sum;
    return {at(end).sum - first, at(start + (end - start) / 2).sum - first,
            static_cast<int>(end - start), at(end).level};
}

std::optional<std::complex<double>> KeySegmenter::sumOf(long start, long end) const {
    if (start > end || end > m_now || m_now - start >= static_cast<long>(kRingSize))
        return std::nullopt;
    return at(end).sum - at(start).sum;
}

double KeySegmenter::evidence(long start, long end) const {
    if (end - start <= 0 || m_now - start >= static_cast<long>(kRingSize)) return kNone;
    return m_scorer.score(sums(start, end));
}

// The best of the tried marks ending at a boundary. The scorer is most of the decoder's time:
// the candidate whose bound is highest is scored first, and every other one whose bound cannot
// beat the best so far is passed over, first by the cheap bound, then by the closer one.
void KeySegmenter::chooseMark(Slot& slot) {
    if (m_candidates.empty()) return;
    const auto likeliest = std::max_element(
        m_candidates.begin(), m_candidates.end(),
        [](const MarkCandidate& a, const MarkCandidate& b) { return a.bound < b.bound; });
    size_t best = static_cast<size_t>(likeliest - m_candidates.begin());
    slot.mark = likeliest->prior + m_scorer.score(likeliest->sums);
    for (size_t i = 0; i < m_candidates.size(); ++i) {
        const MarkCandidate& candidate = m_candidates[i];
        if (i == best || CannotBeat(candidate.bound, slot.mark, i > best)) continue;
        if (CannotBeat(candidate.prior + m_scorer.closerBound(candidate.sums), slot.mark, i > best))
            continue;
        const double value = candidate.prior + m_scorer.score(candidate.sums);
        if (value > slot.mark || (value == slot.mark && i < best)) {
            slot.mark = value;
            best = i;
        }
    }
    slot.markLength = m_candidates[best].length;
}

void KeySegmenter::update(long b) {
    Slot& slot = at(b);
    slot.mark = slot.space = slot.longSpace = kNone;
    const int maxMark = static_cast<int>(std::min<long>(m_model.maxMark(), b - m_floor));
    // Long marks are tried at every few lengths: a dash's start a couple of samples either way
    // changes little, and it keeps the work per sample nearly the same at every speed. Each
    // tried length stands for the lengths up to the next, hence log(step) more of the prior.
    m_candidates.clear();
    const auto addMark = [&](int d, double logStep) {
        const long start = b - d;
        const double before = spaceBefore(start);
        if (before == kNone) return;
        const StretchSums stretch = sums(start, b);
        const double prior = before + m_model.markLog(d) + logStep;
        m_candidates.push_back({d, prior, prior + m_scorer.bound(stretch), stretch});
    };
    for (int d = m_model.minMark(), step = 1; d <= maxMark; d += step) {
        step = std::max(1, d / m_lengthsPerStep);
        addMark(d, m_logSteps[static_cast<size_t>(step)]);
    }
    // Once the space before a mark in progress is settled, the mark starts exactly at its end:
    // that length must be tried even where the steps pass over it, or a long mark could only
    // be read as several.
    const long anchored = b - m_anchor;
    if (!m_anchorMark && anchored >= m_model.minMark() && anchored <= maxMark)
        addMark(static_cast<int>(anchored), 0.0);
    chooseMark(slot);
    if (slot.mark != kNone)
        slot.markFromLong = longSpaceEnding(b - slot.markLength) >
                            shortSpaceEnding(b - slot.markLength);
    for (int d = 1; d < m_model.longSpace(); ++d) {
        const double value = markEnding(b - d) + m_model.spaceLog(d);
        if (value > slot.space) {
            slot.space = value;
            slot.spaceLength = d;
        }
    }
    const double entering = markEnding(b - m_model.longSpace()) + m_model.longSpaceLog();
    const double continuing = longSpaceEnding(b - 1) + m_model.longSpaceStepLog();
    if (entering >= continuing) {
        slot.longSpace = entering;
        slot.longStart = b - m_model.longSpace();
    } else {
        slot.longSpace = continuing;
        slot.longStart = b - 1 > m_floor ? at(b - 1).longStart : m_anchor;
    }
}

void KeySegmenter::push(std::complex<double> z, double level) {
    if (m_stale) rescore();
    const std::complex<double> sum = at(m_now).sum + z;
    ++m_now;
    Slot& slot = at(m_now);
    slot.sum = sum;
    slot.level = level;
    update(m_now);
}

std::vector<Segment> KeySegmenter::bestPath() {
    if (m_stale) rescore();
    std::vector<Segment> path;
    if (m_now <= m_floor) return path;
    const Slot& end = at(m_now);
    State state = State::Mark;
    double best = end.mark;
    if (end.space > best) best = end.space, state = State::Space;
    if (end.longSpace > best) best = end.longSpace, state = State::LongSpace;
    if (best == kNone) return path;
    long b = m_now;
    while (b > m_floor) {
        const Slot& slot = at(b);
        if (state == State::Mark) {
            const long start = b - slot.markLength;
            path.push_back({true, start, b, 0.0});
            state = slot.markFromLong ? State::LongSpace : State::Space;
            b = start;
        } else {
            const long start = state == State::Space ? b - slot.spaceLength : slot.longStart;
            path.push_back({false, start, b, 0.0});
            state = State::Mark;
            b = start;
        }
    }
    // A mark that starts at the floor follows the space since a settled mark.
    if (state != State::Mark && m_anchorMark && b > m_anchor)
        path.push_back({false, m_anchor, b, 0.0});
    std::reverse(path.begin(), path.end());
    return path;
}

void KeySegmenter::anchorAt(const Segment& last) {
    m_anchor = last.end;
    m_anchorMark = last.mark;
    m_floor = last.end;
}

long KeySegmenter::settle(long lag, std::vector<Segment>& out) {
    const long settled = m_now - lag;
    if (settled > m_floor) {
        bool changed = false;
        const std::vector<Segment> path = bestPath();
        for (size_t i = 0; i < path.size(); ++i) {
            const Segment& seg = path[i];
            if (seg.end <= settled) {
                give(seg, i + 1 < path.size() ? &path[i + 1] : nullptr, out);
                changed = true;
                continue;
            }
            // A space that began at a settled mark and runs on past the settled time: no mark
            // starts before that time any more. (A mark in progress has its start settled
            // already, with the space before it.)
            if (!seg.mark && seg.start <= settled) {
                m_floor = settled;
                changed = true;
            }
            break;
        }
        if (changed) m_stale = true;
    }
    return m_anchorMark ? m_floor : -1;
}

void KeySegmenter::rescore() {
    m_stale = false;
    for (long b = m_floor + 1; b <= m_now; ++b) update(b);
}

double KeySegmenter::spacePrior(long d) const {
    if (d <= 0) return 0.0;
    if (d < m_model.longSpace()) return m_model.spaceLog(static_cast<int>(d));
    return m_model.longSpaceLog() +
           static_cast<double>(d - m_model.longSpace()) * m_model.longSpaceStepLog();
}

double KeySegmenter::markPrior(long d) const {
    if (d < m_model.minMark() || d > m_model.maxMark()) return kNone;
    return m_model.markLog(static_cast<int>(d));
}

// How much more likely the segment is a mark than not, as the model and the sound say, with
// its neighbours as the best path has them: a mark against the one space its removal would
// leave, a space between two marks against the one mark that would fill it.
double KeySegmenter::markLogOdds(const Segment& seg, const Segment* after) const {
    constexpr double kSure = 30.0;
    const long length = seg.end - seg.start;
    if (seg.mark) {
        const long before =
            m_given ? m_lastGiven.end - m_lastGiven.start : 4L * m_model.longSpace();
        const long next = after ? after->end - after->start : 4L * m_model.longSpace();
        const double with = spacePrior(before) + markPrior(length) + spacePrior(next) +
                            evidence(seg.start, seg.end);
        const double without = spacePrior(before + length + next);
        return std::clamp(with - without, -kSure, kSure);
    }
    if (!m_given || !m_lastGiven.mark || !after || !after->mark) return -kSure;
    const Segment& first = m_lastGiven;
    const double merged = markPrior(after->end - first.start);
    if (merged == kNone || m_now - first.start >= static_cast<long>(kRingSize)) return -kSure;
    const double apart = markPrior(first.end - first.start) + spacePrior(length) +
                         markPrior(after->end - after->start) + evidence(first.start, first.end) +
                         evidence(after->start, after->end);
    return std::clamp(merged + evidence(first.start, after->end) - apart, -kSure, kSure);
}

void KeySegmenter::give(const Segment& seg, const Segment* after, std::vector<Segment>& out) {
    Segment done = seg;
    done.start = std::max(done.start, 0L);
    if (done.end > done.start) {
        done.evidence = evidence(done.start, done.end);
        done.markLogOdds = markLogOdds(seg, after);
        out.push_back(done);
        m_lastGiven = seg;
        m_given = true;
    }
    anchorAt(seg);
}

void KeySegmenter::flush(std::vector<Segment>& out) {
    const std::vector<Segment> path = bestPath();
    for (size_t i = 0; i < path.size(); ++i)
        give(path[i], i + 1 < path.size() ? &path[i + 1] : nullptr, out);
    if (m_anchorMark && m_now > m_anchor) give({false, m_anchor, m_now}, nullptr, out);
    m_floor = m_now;
}

}  // namespace cwt::decode
