// A probe of the window's event loop for measurements made from outside the program: when the
// environment variable DORAVINE_STALL_PROBE names a file, a fast timer on the GUI thread notes the
// gaps between its turns and the longest one (with the moment it began) is written to that file,
// again whenever a longer one is seen, every second and at exit. Every gap of kNotedMs or more is
// listed too ("stall <began at> <length>"), so that a tool can pick out the part of the run it
// measures. A gap is the whole time between two turns of the timer, so the probe's own period
// (5 ms) is part of every figure.
#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <QTimer>

#include <memory>
#include <utility>
#include <vector>

class CStallProbe : public QObject {
  public:
    static constexpr int kPeriodMs = 5;
    static constexpr int kNotedMs = 50;
    static constexpr size_t kMostNoted = 10000;

    // clock: started at launch; the file's times count from it.
    CStallProbe(const QString& path, const QElapsedTimer& clock, QObject* parent = nullptr);
    ~CStallProbe() override;

    // The probe the environment asks for, or null.
    static std::unique_ptr<CStallProbe> fromEnvironment(const QElapsedTimer& clock);

    qint64 longestMs() const { return m_longest; }

  private:
    void turn();
    void write();

    QString m_path;
    const QElapsedTimer& m_clock;
    QTimer m_beat;
    qint64 m_lastTurn = -1;  // ms since launch
    qint64 m_firstTurn = -1; // the event loop's first turn after launch
    qint64 m_longest = 0;
    qint64 m_longestAt = 0; // when the longest gap began
    qint64 m_turns = 0;
    qint64 m_lastWrite = 0;
    std::vector<std::pair<qint64, qint64>> m_noted; // began at, length
};
