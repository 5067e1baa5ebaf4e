// The settings page's exchanges with the controller, kept apart from the widgets so that the page
// hands them to the link gateway whole. Link errors pass through to the caller.
#pragma once

class CLPGDevice;

// GetSettings into the record.
bool readControllerSettings(CLPGDevice& device);

// The sensor type: compared with what the controller holds now (read first), and only a change is
// written (the settings, then the restart it needs). True when the controller holds the type.
bool chooseSensorType(CLPGDevice& device, double sensorType);

// The TPS threshold as the controller stores it: its 15 mV counts.
double tpsAsStored(double volts);

// The TPS threshold into the record and written with the settings; true when accepted.
bool writeTpsThreshold(CLPGDevice& device, double volts);

// The input source (0 switch, 1 application) into the record and written with the settings.
bool writeInputSource(CLPGDevice& device, double source);
