// Captures the virtual camera's scene as a plain and as a searchable PDF; prints how long each took.
// Arguments: the folder to save into.
control.CustomSavePath = host.args[0];
control.SetDevNameSel(0);
control.RefreshResolution(0);
control.SetResolution(0);
if (control.StartPreviewProc() !== 0)
    throw new Error("no preview");
host.wait(1000);
function capture(searchable) {
    control.bPdfOcr = searchable;
    var start = Date.now();
    var result = control.Morvel("pdf");
    var ms = Date.now() - start;
    if (result !== 0)
        throw new Error("Morvel failed: " + result);
    print((searchable ? "searchable " : "plain ") + ms + " " + control.cPicName);
}
capture(false);
capture(true);
control.StopPreview();
