#include "gui/shell/readings_log_control.h"

#include "gui/shell/bottom_dlg.h"
#include "operations/readings_recorder.h"
#include "platform/folders.h"

#include <QAction>

CReadingsLogControl::CReadingsLogControl(CReadingsRecorder& recorder, QAction* action,
                                         std::function<CBottomDlg*()> strip, QObject* parent)
    : QObject(parent), m_recorder(recorder), m_action(action), m_strip(std::move(strip))
{
    m_action->setCheckable(true);
    m_timer.setInterval(kRefreshMillis);
    connect(&m_timer, &QTimer::timeout, this, [this] { refresh(); });
}

void CReadingsLogControl::toggle()
{
    if (m_recorder.recording())
        m_recorder.stop();
    else if (m_recorder.start(getDiagFolder()))
        m_timer.start();
    refresh();
}

void CReadingsLogControl::refresh()
{
    const bool recording = m_recorder.poll();
    if (!recording)
        m_timer.stop();
    m_action->setChecked(recording);
    if (CBottomDlg* strip = m_strip ? m_strip() : nullptr)
        strip->setRecording(recording, m_recorder.seconds());
}
