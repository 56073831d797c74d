// The result codes of the automation surface, each defined once, for the control and its containers.
#pragma once

namespace qx::automation {

// Morvel: 0 saved, and
inline constexpr int kMorvelNoCamera = -8;   // no camera of the vendor attached, or the edge camera not ready
inline constexpr int kMorvelNoPreview = -10; // no matching preview runs
inline constexpr int kMorvelBadSavePath = -11;  // CustomSavePath unusable (also MergeImage's)
inline constexpr int kMorvelDeviceFailed = -5;  // the camera library's capture failed
inline constexpr int kPdfNotCreated = -18;      // the PDF document could not be created (Morvel, MergeImage)
inline constexpr int kPdfFailed = -19;          // the PDF step failed (Morvel, MergeImage)
inline constexpr int kMorvelFrameTimeout = -20; // the preview delivered no frame within the wait
// A call of a kind that is already running inside this one (a capture waiting for its frame, a
// transfer): Morvel, SendSeal, MorvelNet and the short UploadLocalImg answer it.
inline constexpr int kCallRefused = -21;
inline constexpr int kNotSaved = -22; // no picture could be written (also MergeImage's)
inline constexpr int kMorvelConversionFailed =
    -23;                                   // the format could not be made; the BMP is kept, in cPicName
inline constexpr int kMorvelBadDpi = -24;  // pDPI below 0 or above kMaxOutputDpi: nothing captured
inline constexpr int kBadCustomName = -25; // CustomImgName unusable (Morvel, MergeImage)

// MergeImage: 0 merged, -11, -18, -19, -22, -25 as above, and
inline constexpr int kMergeNothingWaiting = -5; // no merge file of the pending merge was found

// MorvelNet: 0 the connection was made (see the log for the transfer), -21 as above, and
inline constexpr int kFtpNoSession = -2;    // the transfer could not be set up at all
inline constexpr int kFtpNoConnection = -3; // no connection or no login
inline constexpr int kFtpFailed = -4;       // the transfer failed after login
inline constexpr int kFtpNoPicture = -5;    // cPicName does not exist
inline constexpr int kFtpBadArgument = -6;  // CR, LF or NUL in an argument: nothing sent

// StartPreviewProc, VideoRecord, DeleteImg, DeleteImgByName, RemoveLocalImg: 0 done, or
inline constexpr int kFailed = -1;

} // namespace qx::automation
