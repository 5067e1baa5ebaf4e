#include "operations/edited_record.h"

#include "device/lpg_device.h"
#include "files/settings_document.h"

CSettingsRecord& CControllerRecord::record()
{
    return m_device.m_settings;
}

bool CControllerRecord::isConnected() const
{
    return m_device.isConnected();
}

bool CControllerRecord::holdsValues() const
{
    return m_device.isConnected() && !m_device.m_demo;
}

bool CControllerRecord::SetMap()
{
    return m_device.SetMap();
}

bool CControllerRecord::SetSettings()
{
    return m_device.SetSettings();
}

bool CControllerRecord::SetMapAxes()
{
    return m_device.SetMapAxes();
}

bool CControllerRecord::ClearMap()
{
    return m_device.ClearMap();
}

bool CControllerRecord::SaveMap()
{
    return m_device.SaveMap();
}

CSettingsRecord& CFileRecord::record()
{
    return m_file.record();
}

bool CFileRecord::changed()
{
    m_file.markModified();
    return true;
}

IEditedRecord& CEditedRecord::current()
{
    return m_file.file()->isOpen() ? static_cast<IEditedRecord&>(m_file) : m_controller;
}

const IEditedRecord& CEditedRecord::current() const
{
    return m_file.file()->isOpen() ? static_cast<const IEditedRecord&>(m_file) : m_controller;
}
