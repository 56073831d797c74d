// Headless demo: creates the camera control, lists the cameras and their sizes, and captures with the
// first camera in every format, through the normal preview and through the edge-finding preview.
var info = host.controlInfo;
print("QXCameraCtrl " + info.Version + " (" + info.ProgID + ", class " + info.CLSID + ")");
print("control file: " + info.file);
print("defaults: WriteLog=" + control.WriteLog + " bShowMsgBox=" + control.bShowMsgBox +
      " asfBitRate=" + control.asfBitRate + " pDPI=" + control.pDPI +
      " nRotateAngle=" + control.nRotateAngle + " nColorSpace=" + control.nColorSpace +
      " WndLeft=" + control.WndLeft + " CustomSavePath=\"" + control.CustomSavePath + "\"");

var cameras = control.RefreshDevList();
print("cameras found: " + cameras);
for (var i = 0; i < cameras; ++i) {
    var sizes = [];
    var count = control.RefreshResolution(i);
    for (var s = 0; s < count; ++s)
        sizes.push(control.GetResolutionByIdx(s));
    print("  " + i + ": " + control.GetDevNameByIdx(i) + " [" + sizes.join(", ") + "]");
}

function captureAll(label) {
    ["bmp", "jpg", "tif", "gif", "pdf"].forEach(function (format) {
        var result = control.Morvel(format);
        print("  " + label + " " + format + ": " + (result === 0 ? control.cPicName : "failed (" + result + ")"));
    });
}

if (cameras > 0) {
    if (host.args.length > 0)
        control.CustomSavePath = host.args[0];
    control.SetDevNameSel(0);
    control.RefreshResolution(0);
    control.SetResolution(0);
    var started = control.StartPreviewProc();
    print("preview of " + control.GetDevNameByIdx(0) + " at " + control.GetResolutionByIdx(0) + ": " +
          (started === 0 ? "running" : "failed (" + started + ")"));
    if (started === 0) {
        host.wait(300);
        captureAll("normal preview");
        control.StopPreview();
    }
    // The edge-finding preview of the camera library finds the page and captures it cut out.
    control.KelpoCapturePlay();
    host.wait(500);
    captureAll("edge finding");
    control.StopPreview();
}
if (host.messages.length > 0)
    print("messages: " + host.messages.join(" | "));
var temp = host.env("Temp") || host.env("TMPDIR") || "/tmp";
print("control log: " + temp.replace(/\/$/, "") + "/QXCameraCtrlLog.txt");
