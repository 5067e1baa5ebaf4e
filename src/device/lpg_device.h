// The device object: the program's single picture of the controller. It owns the serial port,
// the exchange mutex, the link's time-outs and the random generator of the frame layer.
// The frame exchange lives in lpg_device_exchange.cpp; the command set, the error decoder base
// and the connection manager add their parts to this class in files of their own.
#pragma once

#include "base/language.h"
#include "device/device_errors.h"
#include "device/frame.h"
#include "device/link_timings.h"
#include "device/protocol.h"
#include "device/serial_port.h"
#include "records/diag_data.h"
#include "records/map_model.h"
#include "platform/ierror.h"
#include "platform/threads.h"
#include "records/settings_record.h"

#include <array>
#include <atomic>
#include <cstdint>
#include <ctime>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

class CLPGDevice : public CLPGDeviceErr, public IMapCommands {
  public:
    // Result codes of SendReceiveDiag.
    static constexpr uint8_t kDiagOk = 0;
    static constexpr uint8_t kDiagFailed = 2;
    // Result codes of GetDiagSample.
    static constexpr uint8_t kSampleOk = 0;
    static constexpr uint8_t kSampleOther = 1;
    static constexpr uint8_t kSampleFailed = 2;

    static constexpr uint8_t kDeviceTypeRegular = 29;
    static constexpr uint8_t kDeviceTypeSignal = 30;
    static constexpr size_t kReadDiagSize = 202;          // a pulse block as GetReadDiag copies it
    static constexpr size_t kWriteRowSize = 192;          // data bytes of one programmed row
    static constexpr size_t kPulseBlockRecordsSize = 200; // the 50 records of a pulse block
    static constexpr int kPulseBlocksPerPass = 10;
    static constexpr size_t kVersionBlockSize = 30;
    static constexpr uint32_t kRowAddressStep = 0x80; // address units of one programmed row

    // Attempts of the retry loops: configuration and reading commands, identification and
    // boot-loader commands. Attempts follow one another without a pause.
    static constexpr int kConfigAttempts = 10;
    static constexpr int kBootAttempts = 3;

    // Identification's status bytes and the boot loader's confirmation.
    static constexpr uint8_t kStatusAccepted = protocol::kStatusAccepted;
    static constexpr uint8_t kStatusBootloader = protocol::kStatusBootloader;
    static constexpr uint8_t kBootloaderConfirm = protocol::kBootloaderConfirm;
    static constexpr uint8_t kQueryBootloaderCode = protocol::kCmdQueryBootloader;

    // Clears the demo and connected flags, arms the no-connection notice and publishes itself.
    CLPGDevice();
    ~CLPGDevice() override;
    CLPGDevice(const CLPGDevice&) = delete;
    CLPGDevice& operator=(const CLPGDevice&) = delete;

    // The process-wide device, reached by pages, menus and threads; null when none exists.
    static CLPGDevice* instance();

    // ---- Identity and configuration as last read (or as about to be written) -------------
    std::wstring m_deviceName;      // "DORAVINE" once identified
    uint16_t m_firmwareVersion = 0; // high byte major, low byte minor
    uint8_t m_deviceType = 0;       // 29 regular, 30 signal-reading firmware
    uint16_t m_productionDays = 0;  // days after 1 April 2004, less one
    std::wstring m_serialNumber;
    CSettingsRecord m_settings;
    CDiagData m_diagData;
    CSharedPulseList m_pulses;

    // ---- Flags shared with the worker threads ------------------------------------------------
    std::atomic<bool> m_demo{false};
    std::atomic<bool> m_connected{false};
    std::atomic<bool> m_signalFirmware{false};
    std::atomic<bool> m_noConnectionNoticePending{true};
    std::atomic<bool> m_liveSamplesAllowed{true};

    // "v " + major + "." + minor
    std::wstring VersionText() const;
    // 1 April 2004 plus (day count + 1) days as "%d/%m/%Y".
    std::wstring ProductionDateText() const;

    // ---- Command set (lpg_device_commands.cpp, lpg_device_identify.cpp) --------------------
    bool Identify();
    bool GetVersion();
    // The block reads take a block only when two reads agree (or it is the one already held);
    // the block writes count only when the block reads back the same.
    bool GetSettings();
    bool SetSettings(); // then SetMap; true once the settings read back right
    bool GetMap();
    bool SetMap();
    bool GetMapAxes();
    bool SetMapAxes() override;
    bool SaveMap() override;
    bool ClearMap() override;
    bool ResetDevice();
    bool GetErrors(uint8_t errors[kErrorModuleCount]);
    // kSampleOk, kSampleOther or kSampleFailed.
    uint8_t GetDiagSample(CDiag& out);
    // Copies the first 202 bytes of pulse block `block` (0..9) into out.
    bool GetReadDiag(int block, uint8_t* out);
    // Blocks 0..9; appends their 500 records to m_pulses only when all arrived.
    bool ReadSignalPass();
    // The map model's view of the connected flag.
    bool isConnected() const override { return m_connected.load(); }

    // ---- Boot loader and programming (lpg_device_boot.cpp) ---------------------------------
    bool QueryBootloader(uint8_t code, uint16_t& answer);
    bool ExitBootloader();
    bool ResetAfterBoot();
    bool BootloaderAccess(const char code[8]);
    bool EraseBlock(uint32_t address);
    bool WriteRow(uint32_t address, const uint8_t data[kWriteRowSize]);
    bool ProgramImage(uint32_t start, uint32_t end, uint32_t eraseBlockSize,
                      const std::vector<uint8_t>& image, int rowLimit);
    // The firmware update that identification starts when it finds the controller in its boot
    // loader. Answers false until a handler is installed by the firmware update.
    bool UpdateFirmwareFromBootloader();
    using BootloaderUpdateHandler = bool (*)(CLPGDevice&);
    static void SetBootloaderUpdateHandler(BootloaderUpdateHandler handler);
    // Set by a firmware update while it writes the controller and connects it afresh.
    std::atomic<bool> m_updatingFirmware{false};
    // Identification has started the update from the boot loader in this scan. A controller that
    // is still in its boot loader after that (or after any update) has an image that does not
    // start: identification then answers false at once, so a scan programs it at most once and
    // an update never starts another inside itself.
    std::atomic<bool> m_bootloaderUpdateTried{false};

    // ---- Connection manager (lpg_device_connect.cpp) ---------------------------------------
    // answered, when given, runs on the searching thread as soon as the search has its outcome
    // (connected, or demo mode with its values): ports that lost may still be closing afterwards.
    void Start(const std::function<void()>& answered = {});
    void FindDevice(const std::function<void()>& answered = {});
    // Held by a search while it changes the device, from its start until it answered; an exchange
    // that the window starts takes it first, so that it waits for a search instead of meeting it.
    // Recursive: a firmware update searches again inside the work that holds it.
    std::unique_lock<std::recursive_mutex> HoldAgainstSearch() { return std::unique_lock(m_searchHold); }
    // A search runs: the live thread's recovery does not reopen a port meanwhile.
    std::atomic<bool> m_searching{false};
    bool Connect(int port);
    bool ConnectSequence();
    bool Reopen();
    bool Close();
    // The message of a link that broke in the middle of a command.
    static constexpr const wchar_t* kReplugMessage =
        TR_KEY(L"Błąd - Komunikacja wymaga ponownego wyciągnięcia i włożenia wtyczki w komputerze");
    // A link error broke off what was running: shows the replug message and clears the connected
    // flag, which the watchdog then sees. Takes ownership of error.
    void ReportLinkLost(IError* error);
    // Runs a command that a person started; a link error that escapes it is reported as above
    // and answers false.
    bool RunCommand(const std::function<void()>& command);
    static void SaveLastPort(int port);
    static int LoadLastPort();

    // ---- Frame exchange -------------------------------------------------------------------
    // One request frame and one reply frame, under the device mutex. buffer must hold
    // frame::kBufferSize (710) bytes. On entry: the request payload in buffer (scrambled in place),
    // *length = its size n (at most 253), *type = T. Afterwards the buffer's contents are the
    // reply's or cleared: callers build their request again for every attempt.
    // True: a reply with a correct checksum arrived on a clean line; buffer holds its plain
    // payload, *length = L - 2, *type = its T. A CRSError from the port passes through (the
    // mutex is released).
    bool SendReceive(uint8_t* buffer, uint8_t* length, uint8_t* type);
    // The live-sample variant: input discarded before sending, no second read of a short
    // payload. kDiagOk with *length = L and the two checksum bytes after the payload, else
    // kDiagFailed.
    uint8_t SendReceiveDiag(uint8_t* buffer, uint8_t* length, uint8_t* type);

    // Discards pending input under the device mutex (nothing in demo mode, without a port).
    void PurgeInput();

    // ---- Random word of the frames --------------------------------------------------------
    // Seeds the generator (the constructor already seeds it once with the time).
    void SeedRandom(uint32_t seed) { m_randomState.store(seed); }
    // The next 15-bit word (0..32767).
    uint16_t DrawRandomWord();
    // Test seam: every frame uses this word instead of a drawn one; a negative value draws again.
    void SetFixedRandomWord(int32_t word) { m_fixedRandom.store(word); }

    // ---- Port -----------------------------------------------------------------------------
    CSerialPort& Port() { return m_port; }
    CLinkTimings& Timings() { return m_timings; }
    // Applies the controller's line settings and the time-outs of Timings() to the open port.
    void ConfigurePort();

  protected:
    CSerialPort m_port;
    // Serialises every exchange of every thread.
    CMSGMutex m_mutex;
    CLinkTimings m_timings;

  private:
    // ---- Retry loops of the command set (lpg_device_commands.cpp) ----------------------------
    // Sends command `command` (frame type 2, n = 6, bytes 2-3 the little-endian argument) up to
    // `attempts` times, rebuilding the request each time. True at the first reply of replyType
    // that carries at least minLength payload bytes; buffer (frame::kBufferSize) then holds it
    // and *length its size. A shorter reply is a failed attempt, never a half-read block.
    bool readReply(uint8_t command, uint16_t argument, uint8_t replyType, size_t minLength, int attempts,
                   uint8_t* buffer, uint8_t* length);
    // Sends payload as a frame of type `type` up to `attempts` times; true at the first type-2
    // reply whose status byte is 4.
    bool sendAccepted(uint8_t type, const uint8_t* payload, size_t size, int attempts);
    // A type-2 command with no argument, accepted as above.
    bool commandAccepted(uint8_t command, int attempts);
    // Reads a block of `type` with `command` and copies it to out only when it equals held (the
    // block the record already holds, as it travels) or when two reads in a row agree; up to
    // kConfigAttempts reads, each with its own retry loop.
    bool readConfirmed(uint8_t command, uint8_t type, const uint8_t* held, size_t size, uint8_t* out);
    // Writes block as a frame of `type`, reads it back with readCommand and compares; a refused
    // write or a read-back that differs writes again, kConfigAttempts writes in all. False when
    // none read back right or the read-back itself failed.
    bool writeVerified(uint8_t type, uint8_t readCommand, const uint8_t* block, size_t size);
    // Up to `attempts` tries; stops at the first type-2 reply and answers whether its status is 4
    // (the boot loader's form of commands 0x60 and 0x0A).
    bool commandStatus(uint8_t command, int attempts);

    // The error texts follow the language: the switch rebuilds them before any window redraws.
    CLanguageChangeHook m_languageHook{[this] { rebuildErrorModules(); }, LanguageHookStage::ErrorDecoder};

    // The exchange works on any port: the device's own (the mutex held) or one that a search
    // identifies on its own thread.
    // One request and its reply; live is the live-sample form (input discarded before sending, no
    // second read of a short payload, *length = L on success).
    bool exchange(CSerialPort& port, uint8_t* buffer, uint8_t* length, uint8_t* type, uint16_t random,
                  bool live);
    // SendReceive's attempt on port, without the mutex.
    bool sendReceiveOn(CSerialPort& port, uint8_t* buffer, uint8_t* length, uint8_t* type, uint16_t random);
    // Waits until the line has been quiet for drainQuietMs, discarding what arrives.
    void drainLine(CSerialPort& port);
    // Reads the 4 header bytes, realigning once on the first 0xAA; false when that fails.
    bool readHeader(CSerialPort& port, uint8_t header[frame::kHeaderSize]);
    // Writes the request up to and including the checksum; false on a line error or a short
    // write. purgeFirst discards pending input before anything is sent.
    bool sendRequest(CSerialPort& port, uint8_t* buffer, uint8_t n, uint8_t type, uint16_t random,
                     bool purgeFirst);
    bool writeAll(CSerialPort& port, const uint8_t* bytes, size_t count);
    void configurePort(CSerialPort& port) const;

    // ---- The search (lpg_device_connect.cpp, lpg_device_identify.cpp) ------------------------
    // The status bytes of an identification reply: status, kind and the live-samples marker.
    using IdentityReply = std::array<uint8_t, 4>;
    struct PortProbe;
    // The identification request, up to kBootAttempts times, on port; true at the first type-2
    // reply whose status is accepted or the boot loader's, its first bytes in reply.
    bool requestIdentity(CSerialPort& port, IdentityReply& reply);
    // What identification makes of that reply on the device's own port: the boot-loader branch,
    // the kind of controller and its notices.
    bool acceptIdentity(const IdentityReply& reply);
    // ConnectSequence with the identification already received (null: ask for it now).
    bool connectSequence(const IdentityReply* identified);
    // Identifies every candidate at the same time, each on a port of its own, and connects the
    // first in ascending order that answers; answered runs once it did. Waits for every probe.
    bool connectFirstAnswering(const std::vector<int>& candidates, std::vector<std::string>& denied,
                               const std::function<void()>& answered);
    // The port becomes the device's (the one it held is closed).
    void adoptPort(CSerialPort& port);

    std::recursive_mutex m_searchHold;
    // Held by a search until every port it opened is closed again: the next search waits for the
    // ports that the last one is still closing.
    std::recursive_mutex m_searchPorts;
    std::atomic<uint32_t> m_randomState{static_cast<uint32_t>(std::time(nullptr))};
    std::atomic<int32_t> m_fixedRandom{-1};
};
