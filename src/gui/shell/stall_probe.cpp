#include "gui/shell/stall_probe.h"

#include <QCoreApplication>
#include <QFile>
#include <QSaveFile>

CStallProbe::CStallProbe(const QString& path, const QElapsedTimer& clock, QObject* parent)
    : QObject(parent), m_path(path), m_clock(clock)
{
    m_beat.setTimerType(Qt::PreciseTimer);
    m_beat.setInterval(kPeriodMs);
    connect(&m_beat, &QTimer::timeout, this, [this] { turn(); });
    m_beat.start();
    if (QCoreApplication::instance())
        connect(QCoreApplication::instance(), &QCoreApplication::aboutToQuit, this, [this] { write(); });
}

CStallProbe::~CStallProbe()
{
    write();
}

std::unique_ptr<CStallProbe> CStallProbe::fromEnvironment(const QElapsedTimer& clock)
{
    const QString path = qEnvironmentVariable("DORAVINE_STALL_PROBE");
    if (path.isEmpty())
        return nullptr;
    return std::make_unique<CStallProbe>(path, clock);
}

void CStallProbe::turn()
{
    const qint64 now = m_clock.elapsed();
    ++m_turns;
    // The time before the first turn is the window's construction, not a stall of a running loop.
    if (m_firstTurn < 0)
        m_firstTurn = now;
    bool longer = false;
    if (m_lastTurn >= 0 && now - m_lastTurn >= kNotedMs && m_noted.size() < kMostNoted)
        m_noted.emplace_back(m_lastTurn, now - m_lastTurn);
    if (m_lastTurn >= 0 && now - m_lastTurn > m_longest) {
        m_longest = now - m_lastTurn;
        m_longestAt = m_lastTurn;
        longer = true;
    }
    m_lastTurn = now;
    if (longer || now - m_lastWrite >= 1000)
        write();
}

void CStallProbe::write()
{
    m_lastWrite = m_clock.elapsed();
    QSaveFile file(m_path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Text))
        return;
    QString text = QStringLiteral("longest_stall_ms %1\nlongest_stall_at_ms %2\nfirst_turn_ms %3\n"
                                        "turns %4\nlast_turn_ms %5\nperiod_ms %6\n")
                             .arg(m_longest)
                             .arg(m_longestAt)
                             .arg(m_firstTurn)
                             .arg(m_turns)
                             .arg(m_lastTurn)
                             .arg(kPeriodMs);
    for (const auto& [at, length] : m_noted)
        text += QStringLiteral("stall %1 %2\n").arg(at).arg(length);
    file.write(text.toUtf8());
    file.commit();
}
