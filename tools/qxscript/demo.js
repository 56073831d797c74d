// Headless demo: creates the camera control, shows what it is and how it starts.
var info = host.controlInfo;
print("QXCameraCtrl " + info.Version + " (" + info.ProgID + ", class " + info.CLSID + ")");
print("control file: " + info.file);
print("defaults: WriteLog=" + control.WriteLog + " bShowMsgBox=" + control.bShowMsgBox +
      " asfBitRate=" + control.asfBitRate + " pDPI=" + control.pDPI +
      " nRotateAngle=" + control.nRotateAngle + " nColorSpace=" + control.nColorSpace +
      " WndLeft=" + control.WndLeft + " CustomSavePath=\"" + control.CustomSavePath + "\"");
print("cameras found: " + control.RefreshDevList());
var temp = host.env("Temp") || host.env("TMPDIR") || "/tmp";
print("control log: " + temp.replace(/\/$/, "") + "/QXCameraCtrlLog.txt");
