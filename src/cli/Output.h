#pragma once

#include <QByteArray>
#include <QString>

// Standard output for data, standard error for messages. A closed pipe on either is no crash
// and no reason to stop the work: what cannot be written is dropped.
class Output {
public:
    Output();

    void out(const QByteArray& line); // a line of data; the newline is added
    void err(const QString& line);    // a message; the newline is added
    // A progress line on standard error, overwritten in place; only on a terminal.
    void progress(const QString& text);
    void clearProgress();

    bool errIsTerminal() const { return m_errTerminal; }
    bool quiet = false; // no lines for what went well, no progress

private:
    void write(int fd, const QByteArray& bytes);

    bool m_errTerminal = false;
    bool m_progressShown = false;
    bool m_closed[3] = {false, false, false};
};
