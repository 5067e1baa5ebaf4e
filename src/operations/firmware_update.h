// Reprogramming the controller from a firmware file (*.afm): the menu command, and the automatic
// form that identification runs when it finds the controller in its boot loader. The file is
// picked and checked, the controller is brought into its boot loader, erased and written row by
// row (progress reported to the user), told to leave the loader, and connected afresh.
#pragma once

#include "base/language.h"
#include "operations/settings_backup.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

class CLPGDevice;

// The pauses of the update. The program uses these values; tests may shorten them.
struct CFirmwareUpdateTimings {
    unsigned beforeQueryMs = 500;      // before each attempt's first boot-loader query (menu entry)
    unsigned beforeProgramMs = 1000;   // between the confirmed query and the first erase
    unsigned beforeReconnectMs = 1000; // after the last command, before the new connection
};
CFirmwareUpdateTimings& firmwareUpdateTimings();

// The access code that sends the running application into its boot loader.
inline constexpr char kBootloaderAccessCode[8] = {'Q', 'K', '3', '1', '8', '2', '6', '4'};

// Programming area: first address, end address (not included), erase block, in address units.
inline constexpr uint32_t kProgramFirstAddress = 0x1800;
inline constexpr uint32_t kProgramEndAddress = 0x8800;
inline constexpr uint32_t kProgramEraseBlock = 0x800;
inline constexpr int kProgramAttempts = 10;

inline constexpr const wchar_t* kFirmwareFileFilter = TR_KEY(L"Firmware files (*.afm)|*.afm|");

class CFirmwareUpdate {
  public:
    // What the update asks of the live samples: stopped before a connected controller is
    // programmed, resumed after a successful update. Either may be empty.
    struct LiveSamples {
        std::function<void()> stop;
        std::function<void()> resume;
        // After a failure once they were stopped: back to watching the link (the connected
        // flag is already cleared).
        std::function<void()> watch;
    };

    // How the last update ended.
    enum class Outcome {
        None,
        Programmed,
        NoController, // no controller of a known type to program
        Cancelled,    // no file chosen
        FileRefused,  // the file could not be loaded, or is not for this controller
        Declined,     // an older file, or no settings copy, and the user said No
        Failed,       // programming failed in every attempt
        NotReconnected,
    };

    CFirmwareUpdate(CLPGDevice& device, LiveSamples liveSamples = {});

    // The whole update. fromBootloader: the controller was found in its boot loader, so no access
    // request, no settings backup and no live samples are touched. Every failure shows its
    // message (none for a cancelled file dialog or a declined older file) and answers false.
    bool ProgramFirmwareFromFile(bool fromBootloader);

    // Where the controller's settings were saved before programming (menu entry); empty when
    // no copy was made.
    const std::wstring& backupPath() const { return m_backupPath; }
    Outcome outcome() const { return m_outcome; }

    // Rows of image written from the first address, one ProgramImage row at a time so that the
    // user sees the progress. Answers whether every row (and every erase) was accepted.
    static bool programRows(CLPGDevice& device, const std::vector<uint8_t>& image, size_t rowCount);

  private:
    bool saveBackup();
    bool run(bool fromBootloader);

    CLPGDevice& m_device;
    LiveSamples m_liveSamples;
    std::wstring m_backupPath;
    Outcome m_outcome = Outcome::None;
};

// The outcome of the last update that identification ran from the boot loader.
CFirmwareUpdate::Outcome lastBootloaderUpdateOutcome();
void resetLastBootloaderUpdateOutcome();

// The form that identification runs (no questions beyond the file dialog).
bool programFirmwareFromBootloader(CLPGDevice& device);
// Makes identification's boot-loader branch run programFirmwareFromBootloader.
void installBootloaderUpdate();
