// What a virtual reader's JSON file says: the card on it, its security module and the faults to play.
#pragma once

#include "qx/cardtext/card_text.h"

#include <QByteArray>
#include <QString>

#include <array>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace qmr {

using StatusBytes = std::array<uint8_t, 3>;

struct VirtualReaderConfig {
    // False when the file could not be used; `error` then says why and no reader is attached.
    bool attached = true;
    QString error;

    bool cardPresent = false;
    qx::cardtext::CardText card;
    // The photo block as the card holds it: the picture file's bytes, or a stand-in for the
    // compressed block of real cards when no picture is given.
    QByteArray photo;
    std::optional<QString> newAddress;

    std::array<uint8_t, 16> samId{};
    std::array<uint8_t, 16> management{};

    // Faults. Status overrides are keyed by command name (reset_sam, sam_status, sam_id, find,
    // select, base, app, mng); report counts include output and input reports.
    std::map<std::string, StatusBytes> status;
    int unplugAfterReports = -1;
    bool replug = true;
    int muteAfterReports = -1;
    std::optional<std::array<uint8_t, 5>> preamble;
    std::optional<uint16_t> lengthField;
    std::optional<uint16_t> textLength;
    std::optional<uint16_t> photoLength;

    // Other HID interfaces present beside the reader, as vendor and product ids.
    std::vector<std::pair<uint16_t, uint16_t>> decoys;
    uint16_t inputReportLength = 65;
    uint16_t outputReportLength = 65;

    // Where every report is recorded, one line each; empty for none.
    QString recordPath;

    // The file the configuration came from; the card is taken from it again when it changes.
    QString sourcePath;
};

// Reads the file; relative paths inside it are relative to its folder.
VirtualReaderConfig loadVirtualReaderConfig(const QString& path);

// Takes the card (text, photo, appended message, or no card) from the file at `path` into `config`
// and leaves everything else of it as it is. False, with `error` set and `config` unchanged, when the
// file cannot be used.
bool reloadVirtualReaderCard(const QString& path, VirtualReaderConfig& config, QString& error);

} // namespace qmr
