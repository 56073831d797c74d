// Creation and destruction of the control, its window and private messages, and the forwarding of
// every automation method to the feature that owns it.
#include "control/core/control.h"

#include "control/capture/cameras.h"
#include "control/capture/capture_folders.h"
#include "control/capture/edge_preview.h"
#include "control/capture/frame_watch.h"
#include "control/capture/image_list.h"
#include "control/capture/preview.h"
#include "control/capture/preview_surface.h"
#include "control/capture/preview_tap.h"
#include "control/core/process_modes.h"
#include "control/features/auto_capture.h"
#include "control/features/ftp.h"
#include "control/features/idcard.h"
#include "control/features/network_transfer.h"
#include "control/features/tools.h"
#include "control/features/upload.h"
#include "control/features/watermark.h"
#include "qx/interface/result_codes.h"
#include "qx/platform/folders.h"

#include <QPaintEvent>
#include <QPainter>
#include <QResizeEvent>
#include <QTimerEvent>

namespace qx::control {

namespace {

// Any function of this module will do: dladdr finds the file that holds it.
void anchor() {}

} // namespace

CMorvelQxWebCtrl::CMorvelQxWebCtrl(QWidget* parent, UiHost* uiHost, const QString& controlFolder)
    : QWidget(parent), m_ui(uiHost) {
    if (!m_ui) {
        m_ownUi = std::make_unique<QtUiHost>();
        m_ui = m_ownUi.get();
    }
    setAttribute(Qt::WA_OpaquePaintEvent);
    ControlContext& context = *this;
    m_tap = std::make_unique<PreviewTap>();
    m_frameWatch = std::make_unique<FrameWatch>();
    m_surface = std::make_unique<PreviewSurface>(m_tap.get(), m_frameWatch.get());
    ProcessModes& modes = ProcessModes::ofProcess();
    m_cameras = std::make_unique<Cameras>(context);
    m_edge = std::make_unique<EdgePreview>(context, *m_cameras, *m_surface);
    m_normal = std::make_unique<NormalPreview>(context, modes, *m_cameras, *m_edge, *m_surface);
    m_folders = std::make_unique<CaptureFolders>();
    m_capture = std::make_unique<Capture>(context, modes, *m_cameras, *m_normal, *m_edge, *m_folders);
    m_images = std::make_unique<ImageList>(context);
    m_merge = std::make_unique<Merge>(context, modes, *m_folders, *m_capture);
    m_watermark = std::make_unique<Watermark>(context);
    m_transfer = std::make_unique<NetworkTransfer>(context);
    m_uploads = std::make_unique<Uploads>(context, *m_transfer);
    m_ftp = std::make_unique<FtpSending>(context, *m_transfer);
    m_cardWorker = std::make_unique<NetworkTransfer>(context);
    m_cards = std::make_unique<CardReading>(context, *m_uploads, *m_cardWorker);
    m_recording = std::make_unique<Recording>(context, modes, *m_cameras, *m_normal);
    m_tools = std::make_unique<Tools>(context);
    m_auto = std::make_unique<AutoCapture>(
        context, *m_frameWatch, [this](const QString& format) { return autoCaptureShot(format); },
        [this](AutoCaptureState state) { emit AutoCaptureStateChanged(static_cast<int>(state)); },
        [this](const AutoCaptureShot& shot) { emit AutoCaptured(shot.code, shot.path); });
    m_dispatcher = std::make_unique<MetaObjectDispatcher>(this);
    create(controlFolder);
}

void CMorvelQxWebCtrl::create(const QString& controlFolder) {
    // 1. Properties and state have their defaults already; the imaging layer needs no start-up.
    // 2. Nothing to free: every control holds handles of its own (see OutsideLibraries), so no
    // earlier control's libraries are this one's to release.

    // 3. WriteLog is TRUE at this point, and later changes of it have no effect.
    if (m_p.WriteLog)
        m_log.Open();

    // 4. Libraries are loaded by full path and carry RUNPATH $ORIGIN, so the control folder is all
    // that is needed to find them and their own dependencies.
    m_controlFolder = controlFolder.isEmpty() ? platform::moduleFolder(reinterpret_cast<const void*>(&anchor))
                                              : platform::withTrailingSlash(controlFolder);
    if (!m_controlFolder.isEmpty()) {
        writeLog(QStringLiteral("Current Load Path:Success,%1").arg(m_controlFolder));
    } else {
        writeLog(QStringLiteral("Current Load Path:Fail"));
        writeLog(QStringLiteral("FilterPath:") + platform::programFolder());
    }

    const TlsSettings tls = readTlsSettings(settingsPath());
    m_p.bTlsVerify = tls.verify;
    m_p.strTlsCaFile = tls.caFile;
    const OcrSettings ocr = readOcrSettings(settingsPath());
    m_p.bPdfOcr = ocr.enabled;
    m_p.strOcrLanguages = ocr.languages;

    // 5 to 11.
    if (!m_libs.loadAndBind(m_controlFolder, [this](const QString& line) { writeLog(line); }))
        return;

    // 12.
    m_edge->readCameraModels();

    // 13.
    m_settings = loadControlSettings(settingsPath(), [this](const QString& line) { writeLog(line); });
}

QString CMorvelQxWebCtrl::settingsPath() const {
    return platform::dataFolder(m_controlFolder) + QLatin1String(kControlSettingsFile);
}

ControlState CMorvelQxWebCtrl::state() const {
    ControlState s;
    s.deviceCount = m_cameras->deviceCount();
    s.selectedDevice = m_cameras->selectedDevice();
    s.mainCameraIndex = m_cameras->mainCameraIndex();
    s.auxCameraIndex = m_cameras->auxCameraIndex();
    s.cashCameraIndex = m_cameras->cashCameraIndex();
    s.resolutionCount = m_cameras->resolutionCount();
    s.selectedResolution = m_cameras->selectedResolution();
    s.captureWidth = m_cameras->captureWidth();
    s.captureHeight = m_cameras->captureHeight();
    s.normalPreviewOn = m_normal->isOn();
    s.edgePreviewOn = m_edge->isOn();
    s.previewing = m_normal->previewing();
    s.capturePending = m_normal->capturePending();
    s.cameraDevice = m_edge->device();
    s.cameraModelCount = m_edge->cameraModelCount();
    s.cameraModelIds = m_edge->cameraModelIds();
    s.mergeFolder = m_folders->mergeFolder();
    s.jpegQuality = m_settings.jpegQuality;
    s.bwThreshold = m_settings.bwThreshold;
    s.lastFormat = m_capture->lastFormat();
    return s;
}

void CMorvelQxWebCtrl::windowDestroyed() {
    m_auto->stop();
    StopPreview();
    m_tap->setSink({});
    m_tools->releaseTifTool();
    m_libs.freeAll();
}

CMorvelQxWebCtrl::~CMorvelQxWebCtrl() {
    // The window goes first, as it does when a container destroys an active control ...
    windowDestroyed();
    // ... then the object itself; freeing the libraries twice is harmless, their handles are cleared.
    StopPreview();
    m_libs.freeAll();
    writeLog(QStringLiteral("释放动态库资源!"));
    writeLog(QStringLiteral("释放GDI资源!"));
    if (m_recording->closeWindow())
        writeLog(QStringLiteral("释放录像对话框资源!"));
    if (m_folders->removeMergeFolder())
        writeLog(QStringLiteral("清理合并图片文件夹!"));
    writeLog(QStringLiteral("控件释放!"));
}

void CMorvelQxWebCtrl::errorBox(const QString& text) {
    m_ui->messageBox(nullptr, text, QStringLiteral("Error!"), MessageIcon::Error, true);
}

void CMorvelQxWebCtrl::ownMessageBox(const QString& text) {
    m_ui->messageBox(this, text, QString(), MessageIcon::None, false);
}

void CMorvelQxWebCtrl::resizeEvent(QResizeEvent* e) {
    m_surface->setTargetSize(size());
    QWidget::resizeEvent(e);
}

void CMorvelQxWebCtrl::paintEvent(QPaintEvent*) {
    QPainter p(this);
    const QImage image = m_surface->latest();
    if ((m_normal->isOn() || m_edge->isOn()) && !image.isNull()) {
        // The video picture covers the whole window, as the platform's video window did.
        p.drawImage(rect(), image);
        const QPolygonF outline = m_surface->outline();
        if (!outline.isEmpty()) {
            const double sx = static_cast<double>(width()) / image.width();
            const double sy = static_cast<double>(height()) / image.height();
            QPolygonF scaled;
            for (const QPointF& pt : outline)
                scaled << QPointF(pt.x() * sx, pt.y() * sy);
            p.setRenderHint(QPainter::Antialiasing);
            p.setPen(QPen(QColor(40, 220, 90), 2.5));
            p.drawPolygon(scaled);
        }
        return;
    }
    p.fillRect(rect(), Qt::white);
    p.setPen(Qt::black);
    p.drawText(rect(), Qt::AlignCenter | Qt::TextSingleLine, QStringLiteral("NO SIGNAL"));
}

bool CMorvelQxWebCtrl::event(QEvent* e) {
    if (e->type() == QEvent::Show || e->type() == QEvent::Hide)
        m_surface->setShown(e->type() == QEvent::Show);
    if (e->type() == kPreviewFrameEvent) {
        // Taking the frame lets the streaming thread offer the next one.
        m_surface->take();
        update();
        return true;
    }
    return QWidget::event(e);
}

void CMorvelQxWebCtrl::timerEvent(QTimerEvent* e) {
    killTimer(e->timerId());
    QWidget::timerEvent(e);
}

DispatchStatus CMorvelQxWebCtrl::get(int dispid, QVariant& value) {
    return m_dispatcher->get(dispid, value);
}

DispatchStatus CMorvelQxWebCtrl::put(int dispid, const QVariant& value) {
    return m_dispatcher->put(dispid, value);
}

DispatchStatus CMorvelQxWebCtrl::invoke(int dispid, const QVariantList& args, QVariant& result) {
    return m_dispatcher->invoke(dispid, args, result);
}

void CMorvelQxWebCtrl::setPreviewSink(Sink sink) {
    m_tap->setSink(std::move(sink));
}

void CMorvelQxWebCtrl::requestPreviewFrame() {
    m_tap->request();
}

void CMorvelQxWebCtrl::setRotate(int angle) {
    m_normal->setRotate(angle);
}

UploadSettings CMorvelQxWebCtrl::uploadSettings() const {
    UploadSettings s;
    s.proxyServer = m_p.strProxyServer;
    s.proxyUser = m_p.ProxyUser;
    s.proxyPassword = m_p.ProxyPassword;
    s.verifyTls = m_p.bTlsVerify;
    s.extraCaFile = m_p.strTlsCaFile;
    s.showBox = m_p.bShowMsgBox;
    return s;
}

SealRequest CMorvelQxWebCtrl::sealRequest() const {
    SealRequest r;
    r.picture = m_p.cPicName;
    r.deleteAfter = m_p.bUploadDel;
    r.gb2312 = m_p.bGB2312Encode;
    r.settings = uploadSettings();
    return r;
}

void CMorvelQxWebCtrl::apply(const UploadOutcome& outcome) {
    // Once read from the environment the proxy stays, as the property shows it.
    if (outcome.proxyFromEnvironment)
        m_p.strProxyServer = *outcome.proxyFromEnvironment;
    if (outcome.response)
        m_p.HttpResponse = *outcome.response;
}

void CMorvelQxWebCtrl::apply(const CardHolder& h) {
    m_p.sIDInfoChar = h.record;
    m_p.idName = h.name;
    m_p.idSex = h.sex;
    m_p.idNation = h.nation;
    m_p.idBirth = h.birth;
    m_p.idBirthYear = h.birthYear;
    m_p.idBirthMonth = h.birthMonth;
    m_p.idBirthDay = h.birthDay;
    m_p.idAddress = h.address;
    m_p.idNum = h.number;
    m_p.idIssue = h.issue;
    m_p.idValidity = h.validity;
    m_p.strIDHeadData = h.photoBase64;
    m_p.strCardImgSavePath = h.folder;
    m_p.ImgName = h.imageName;
}

CardUploadRequest CMorvelQxWebCtrl::cardUploadRequest() const {
    return CardUploadRequest{m_p.strCardImgSavePath, m_p.ImgName, m_p.idNum, m_p.IDHeadImgName};
}

int CMorvelQxWebCtrl::MorvelNet(const QString& ServIp, const QString& ServPort, const QString& UsrName,
                                const QString& UsrPasswd, const QString& FtpPath,
                                const QString& FtpFileName) {
    const FtpRequest request{ServIp,  ServPort,    UsrName,      UsrPasswd,
                             FtpPath, FtpFileName, m_p.cPicName, m_p.bUploadDel};
    m_ftp->announce(request);
    const auto pass = m_gate.enter(Activity::Transfer);
    if (!pass)
        return automation::kCallRefused;
    const FtpResult result = m_ftp->send(request);
    if (result.listed)
        m_p.cFileList += FtpFileName + QLatin1Char('|');
    return result.code;
}

void CMorvelQxWebCtrl::ResetFileList() {
    m_p.cFileList.clear();
}

int CMorvelQxWebCtrl::Morvel(const QString& PhotoFormat) {
    // A timer or hotkey may call in while a capture waits for its frame: that call does not start a
    // second capture over the first one's grab.
    const auto pass = m_gate.enter(Activity::Capture);
    if (!pass)
        return automation::kCallRefused;
    CaptureRequest request{PhotoFormat,     m_p.CustomSavePath, m_p.CustomImgName, m_p.pDPI,
                           m_p.nColorSpace, m_p.nRotateAngle,   m_p.bPdfOcr,       m_p.strOcrLanguages};
    const CaptureResult result = m_capture->Morvel(request);
    if (result.picture)
        m_p.cPicName = *result.picture;
    if (result.customName)
        m_p.CustomImgName = *result.customName;
    if (result.rotationReset)
        m_p.nRotateAngle = 0;
    return result.code;
}

int CMorvelQxWebCtrl::SendSeal(const QString& strURL) {
    const auto pass = m_gate.enter(Activity::Transfer);
    if (!pass)
        return automation::kCallRefused;
    const UploadOutcome outcome = m_uploads->SendSeal(strURL, sealRequest());
    apply(outcome);
    return outcome.ok ? 1 : 0;
}

int CMorvelQxWebCtrl::StartPreviewProc() {
    return m_normal->StartPreviewProc();
}

int CMorvelQxWebCtrl::StopPreview() {
    // No frames come any more: a hands-free run ends with the preview it watched.
    m_auto->previewStopped();
    return m_normal->StopPreview();
}

int CMorvelQxWebCtrl::RefreshDevList() {
    m_p.bIsRecord = ProcessModes::ofProcess().recordingActive;
    return m_cameras->RefreshDevList();
}

QString CMorvelQxWebCtrl::GetDevNameByIdx(short idx) {
    return m_cameras->GetDevNameByIdx(idx);
}

short CMorvelQxWebCtrl::SetDevNameSel(short cursel) {
    return m_cameras->SetDevNameSel(cursel);
}

void CMorvelQxWebCtrl::KelpoCapturePlay() {
    m_edge->KelpoCapturePlay();
}

int CMorvelQxWebCtrl::MergeImage() {
    // Recognising the pages keeps the container's events flowing, and the container hears every page
    // (WorkProgress) while the merge runs: a merge called in meanwhile would take the same merge files.
    const auto pass = m_gate.enter(Activity::Merge);
    if (!pass)
        return automation::kCallRefused;
    const MergeResult result = m_merge->MergeImage(MergeRequest{
        m_p.CustomSavePath, m_p.CustomImgName, m_p.bPdfOcr, m_p.strOcrLanguages,
        [this](int done, int total) { emit WorkProgress(QStringLiteral("merge"), done, total); }});
    if (result.picture)
        m_p.cPicName = *result.picture;
    if (result.customName)
        m_p.CustomImgName = *result.customName;
    return result.code;
}

bool CMorvelQxWebCtrl::IsMerge() {
    return m_merge->IsMerge();
}

short CMorvelQxWebCtrl::SetResolution(short resolutionSel) {
    return m_cameras->SetResolution(resolutionSel);
}

QString CMorvelQxWebCtrl::GetResolutionByIdx(short idx) {
    return m_cameras->GetResolutionByIdx(idx);
}

int CMorvelQxWebCtrl::RefreshResolution(short DevNameSel) {
    return m_cameras->RefreshResolution(DevNameSel);
}

void CMorvelQxWebCtrl::ConfigCameraFilter() {
    m_normal->ConfigCameraFilter();
}

int CMorvelQxWebCtrl::AddWaterMark() {
    return m_watermark->AddWaterMark(m_p.cPicName, m_p.bShowMsgBox);
}

int CMorvelQxWebCtrl::RefreshImgList(const QString& PhotoFormat) {
    return m_images->RefreshImgList(PhotoFormat, m_p.CustomSavePath);
}

QString CMorvelQxWebCtrl::GetImgNameByIdx(short idx) {
    return m_images->GetImgNameByIdx(idx);
}

short CMorvelQxWebCtrl::DeleteImg(short cursel) {
    return m_images->DeleteImg(cursel, m_p.CustomSavePath);
}

void CMorvelQxWebCtrl::TransImg() {
    m_tools->TransImg();
}

void CMorvelQxWebCtrl::ScreenCut() {
    m_tools->ScreenCut();
}

void CMorvelQxWebCtrl::SetOutPutDPI(short x, short y) {
    m_edge->SetOutPutDPI(x, y);
}

void CMorvelQxWebCtrl::SetCropMargin(short range) {
    m_edge->SetCropMargin(range);
}

void CMorvelQxWebCtrl::ManualToAuto() {
    m_edge->ManualToAuto();
}

int CMorvelQxWebCtrl::VideoRecord(const QString& VideoPath) {
    const int code = m_recording->VideoRecord(VideoPath, m_p.asfBitRate);
    m_p.bIsRecord = ProcessModes::ofProcess().recordingActive;
    return code;
}

void CMorvelQxWebCtrl::DisableCrop() {
    m_edge->DisableCrop();
}

bool CMorvelQxWebCtrl::GetBase64String(const QString& Img) {
    std::optional<QString> text = m_uploads->GetBase64String(Img, m_p.markdown);
    m_p.Img2Base64 = text ? std::move(*text) : QString();
    return text.has_value();
}

short CMorvelQxWebCtrl::DeleteImgByName(const QString& Img) {
    return m_images->DeleteImgByName(Img);
}

bool CMorvelQxWebCtrl::IDCardRead(const QString& m_strBmpPath) {
    // The panel's timer or a page's script must not stack reads on one reader.
    const auto pass = m_gate.enter(Activity::CardRead);
    if (!pass)
        return false;
    // A read starts by clearing every holder value it sets: nothing of the last holder is left to
    // pass for this card's while the reader answers, or after a step fails.
    apply(CardHolder{});
    const CardReadResult result = m_cards->IDCardRead(
        CardReadRequest{m_strBmpPath, m_p.IDCardImgName, m_p.IDHeadImgName, m_p.bDeleteIDBmp});
    apply(result.holder);
    return result.ok;
}

bool CMorvelQxWebCtrl::HttpSendIDCard(const QString& strURL) {
    const auto pass = m_gate.enter(Activity::Transfer);
    if (!pass)
        return false;
    const UploadOutcome outcome = m_cards->HttpSendIDCard(strURL, cardUploadRequest(), uploadSettings());
    apply(outcome);
    return outcome.ok;
}

bool CMorvelQxWebCtrl::HttpSendIDCHeadImg(const QString& strURL) {
    const auto pass = m_gate.enter(Activity::Transfer);
    if (!pass)
        return false;
    const UploadOutcome outcome = m_cards->HttpSendIDCHeadImg(strURL, cardUploadRequest(), uploadSettings());
    apply(outcome);
    return outcome.ok;
}

short CMorvelQxWebCtrl::UploadLocalImg(const QString& strURL) {
    const auto pass = m_gate.enter(Activity::Transfer);
    if (!pass)
        return static_cast<short>(automation::kCallRefused);
    const LocalUploadResult result =
        m_uploads->UploadLocalImg(strURL, sealRequest(), [this](int done, int total) {
            emit WorkProgress(QStringLiteral("upload"), done, total);
        });
    if (result.picture)
        m_p.cPicName = *result.picture;
    apply(result.last);
    return result.code;
}

bool CMorvelQxWebCtrl::SelectLocalImgs() {
    return m_uploads->SelectLocalImgs();
}

QString CMorvelQxWebCtrl::GetLocalImgName(short index) {
    return m_uploads->GetLocalImgName(index);
}

short CMorvelQxWebCtrl::RemoveLocalImg(short index) {
    return m_uploads->RemoveLocalImg(index);
}

short CMorvelQxWebCtrl::RefreshLocalImg() {
    return m_uploads->RefreshLocalImg();
}

void CMorvelQxWebCtrl::TifTool() {
    m_tools->TifTool();
}

int CMorvelQxWebCtrl::StartAutoCapture(const QString& PhotoFormat) {
    return m_auto->start(
        AutoCaptureRequest{PhotoFormat, m_p.nAutoSettleTime, m_normal->isOn() || m_edge->isOn()});
}

int CMorvelQxWebCtrl::StopAutoCapture() {
    return m_auto->stop();
}

int CMorvelQxWebCtrl::GetAutoCaptureState() {
    return static_cast<int>(m_auto->state());
}

int CMorvelQxWebCtrl::GetAutoCaptureCount() {
    return m_auto->pagesCaptured();
}

AutoCaptureShot CMorvelQxWebCtrl::autoCaptureShot(const QString& format) {
    // The same call as a container's Morvel: the gate, the properties, the chain and cPicName.
    AutoCaptureShot shot;
    shot.code = Morvel(format);
    if (shot.code == 0 || shot.code == automation::kMorvelConversionFailed)
        shot.path = m_p.cPicName;
    return shot;
}

} // namespace qx::control
