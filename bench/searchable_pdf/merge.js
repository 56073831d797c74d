// PAGES merge captures of the virtual camera's scene, then one searchable merged PDF of them; prints
// the merge's time. Arguments: the folder to save into, PAGES.
control.CustomSavePath = host.args[0];
var pages = parseInt(host.args[1]);
control.SetDevNameSel(0);
control.RefreshResolution(0);
control.SetResolution(0);
if (control.StartPreviewProc() !== 0)
    throw new Error("no preview");
host.wait(1000);
control.bPdfOcr = true;
for (var i = 0; i < pages; ++i) {
    control.IsMerge();
    if (control.Morvel("pdf") !== 0)
        throw new Error("merge capture " + i + " failed");
}
var start = Date.now();
var result = control.MergeImage();
if (result !== 0)
    throw new Error("MergeImage failed: " + result);
print("merge " + pages + " " + (Date.now() - start) + " " + control.cPicName);
control.StopPreview();
