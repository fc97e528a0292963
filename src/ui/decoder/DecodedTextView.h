#pragma once
// The decoded text, each character coloured by how sure the decoder was: the usual text
// colour when sure, brown when in doubt, red when unsure, grey for a code that is no
// character. The Hangul syllable still being composed is drawn after the text, underlined,
// and is not part of the document until it is final: a screen reader hears each character
// once, as it is inserted (Qt raises the text-inserted event for the inserted text), never a
// syllable that later letters would still change.
//
// The view follows new text while it is scrolled to the end; scrolled back, it stays there.

#include <QTextEdit>
#include <deque>
#include <optional>
#include <vector>

#include "ui/decoder/ReceiveDecoder.h"

class DecodedTextView : public QTextEdit {
    Q_OBJECT

public:
    explicit DecodedTextView(QWidget* parent = nullptr);

    // Appends final characters, with a blank before those that begin a word. A word space found
    // late is inserted before the character it names (a screen reader hears the blank inserted
    // there).
    void appendCharacters(const std::vector<cwt::ReceivedChar>& characters);
    // Starts a new line, unless the text is empty or already ends one. Late word spaces name
    // characters of the new line only.
    void endLine();
    void setPreedit(const std::optional<cwt::ReceivedChar>& preedit);
    QString preeditText() const { return m_preedit; }
    // The text as the operator sees it, the syllable being composed included.
    QString shownText() const;
    void clearText();

    // The colour a character of this confidence is shown in.
    QColor colourOf(const cwt::ReceivedChar& character) const;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    bool atEnd() const;
    void scrollToEnd();
    void insertWordSpace(double startMs);

    QString m_preedit;
    // Where the last characters start in the document, by the start of their first mark: a
    // late word space names one of the first characters after the decoder (re)started.
    struct Placed {
        double startMs;
        int position;
    };
    std::deque<Placed> m_placed;
};
