// The bridge's demo page in headless Chromium: live preview, captures, cameras, a card read, and a
// page of another origin that must get nothing.
//
//   node browser_test.mjs --bridge build/bin/qxbridge --data tests/data --artifacts DIR
// Exits 77 (skipped) when Chromium or playwright-core is missing, 1 on any failure.
import { spawn, spawnSync } from "node:child_process";
import fs from "node:fs";
import http from "node:http";
import net from "node:net";
import os from "node:os";
import path from "node:path";

const argv = process.argv.slice(2);
const option = (name) => argv[argv.indexOf(name) + 1];
const bridgeProgram = option("--bridge");
const dataFolder = option("--data");
const artifacts = option("--artifacts");
const clipMaker = option("--clip-maker");
const chromiumPath = process.env.QX_CHROMIUM || "/usr/bin/chromium";

let chromium;
try {
    ({ chromium } = await import("playwright-core"));
} catch {
    console.log("SKIP: playwright-core is not installed (scripts/install-deps installs it)");
    process.exit(77);
}
if (!fs.existsSync(chromiumPath)) {
    console.log(`SKIP: no Chromium at ${chromiumPath}`);
    process.exit(77);
}

const failures = [];
function check(condition, text) {
    console.log(`${condition ? "ok  " : "FAIL"} ${text}`);
    if (!condition) failures.push(text);
}

function freePort() {
    return new Promise((resolve) => {
        const server = net.createServer().listen(0, "127.0.0.1", () => {
            const { port } = server.address();
            server.close(() => resolve(port));
        });
    });
}

const home = fs.mkdtempSync(path.join(os.tmpdir(), "qxbridge-browser-"));
const pictures = path.join(home, "pics") + "/";
fs.mkdirSync(pictures);
fs.mkdirSync(path.join(home, "temp"));
fs.mkdirSync(artifacts, { recursive: true });
const port = await freePort();
const foreignPort = await freePort();
const settings = path.join(home, "qxbridge.ini");
fs.writeFileSync(settings, `[Bridge]\r\nPort=${port}\r\nCaptureFolders=${pictures}\r\n`);

// The auxiliary camera plays two pages turned by hand, over and over, for hands-free capture.
const clip = path.join(home, "pages.avi");
const made = spawnSync(clipMaker, [clip, "--pages", "2", "--still", "1.5"], { encoding: "utf8" });
if (made.status !== 0) {
    console.log(`FAIL the clip maker failed: ${made.stderr}`);
    process.exit(1);
}
const env = { ...process.env, HOME: home, XDG_DATA_HOME: path.join(home, "data"), Temp: path.join(home, "temp") + "/",
              QX_VIRTUAL_CAMERAS: `7e41:1280x960;640x480,7e43:640x480!file=${clip.replaceAll("%", "%25").replaceAll(",", "%2C").replaceAll("!", "%21")}!loop`,
              QX_VIRTUAL_READER: path.join(dataFolder, "cards", "card1.json") };
delete env.DISPLAY;
delete env.WAYLAND_DISPLAY;
delete env.QT_QPA_PLATFORM;
let bridge;
let bridgeLog = "";
function startBridge() {
    bridge = spawn(bridgeProgram, ["--settings", settings], { env, stdio: ["ignore", "inherit", "pipe"] });
    const started = bridgeLog.length;
    return new Promise((resolve, reject) => {
        const timer = setTimeout(() => reject(new Error("the bridge did not start:\n" + bridgeLog)), 30000);
        bridge.stderr.on("data", (chunk) => {
            bridgeLog += chunk;
            if (bridgeLog.indexOf(" ready: ", started) >= 0) {
                clearTimeout(timer);
                resolve();
            }
        });
        bridge.on("exit", (code) => reject(new Error(`the bridge ended with ${code}:\n${bridgeLog}`)));
    });
}
function stopBridge() {
    const ended = new Promise((resolve) => bridge.on("exit", (code, signal) => resolve(code ?? signal)));
    bridge.kill("SIGTERM");
    return ended;
}
await startBridge();

// A page of another origin that tries the bridge the ways a hostile page would.
const foreign = http.createServer((request, response) => {
    response.writeHead(200, { "Content-Type": "text/html" });
    response.end(`<!DOCTYPE html><body><script>
        const results = {};
        const done = () => { if (Object.keys(results).length === 3) document.title = JSON.stringify(results); };
        const ws = new WebSocket("ws://127.0.0.1:${port}/ws");
        ws.onopen = () => { results.socket = "open"; done(); };
        ws.onerror = () => { results.socket = "refused"; done(); };
        fetch("http://127.0.0.1:${port}/preview.mjpg").then(() => { results.preview = "read"; done(); },
                                                           () => { results.preview = "refused"; done(); });
        fetch("http://127.0.0.1:${port}/snapshot.jpg", { mode: "no-cors" }).then((r) => {
            results.opaque = r.type; done(); }, () => { results.opaque = "refused"; done(); });
    </script></body>`);
});
await new Promise((resolve) => foreign.listen(foreignPort, "127.0.0.1", resolve));

const browser = await chromium.launch({ executablePath: chromiumPath, headless: true,
                                        args: ["--no-sandbox", "--disable-gpu", "--disable-dev-shm-usage"] });
try {
    const page = await browser.newPage({ viewport: { width: 1400, height: 900 } });
    page.on("console", (message) => console.log(`  page: ${message.text()}`));
    await page.goto(`http://127.0.0.1:${port}/`);
    await page.waitForSelector("body[data-ready='1']", { timeout: 30000 });
    check((await page.textContent("#status")) === "open", "the page is connected");

    const cameras = await page.$$eval("#camera-list li", (items) => items.map((item) => item.textContent));
    check(cameras.length === 2 && cameras[0].includes("主摄像头") && cameras[1].includes("辅摄像头"),
          `the camera list shows the virtual cameras: ${JSON.stringify(cameras)}`);

    await page.waitForFunction(() => document.getElementById("preview").naturalWidth > 0, null, { timeout: 20000 });
    const preview = await page.$("#preview");
    const first = await preview.screenshot({ path: path.join(artifacts, "preview-1.png") });
    await page.waitForTimeout(1500);
    const second = await preview.screenshot({ path: path.join(artifacts, "preview-2.png") });
    check(!first.equals(second), "the live picture changes between two screenshots");

    for (const format of ["jpg", "bmp", "tif", "gif", "pdf"]) {
        await page.click(`button.capture[data-format='${format}']`);
        await page.waitForFunction((f) => document.getElementById("result").textContent.startsWith(`Morvel("${f}")`),
                                   format, { timeout: 30000 });
        const result = await page.textContent("#result");
        check(result === `Morvel("${format}") = 0`, `a ${format} capture returns 0 (${result})`);
        const shown = await page.waitForFunction((f) => {
            const img = document.getElementById("picture");
            return img.dataset.format === f && img.complete && img.naturalWidth > 0 ? img.naturalWidth : 0;
        }, format, { timeout: 20000 }).then((handle) => handle.jsonValue(), () => 0);
        check(shown > 0, `the ${format} picture is shown (${shown} px wide)`);
        const file = await page.textContent("#file");
        check(file.startsWith(pictures) && file.endsWith(`.${format}`) && fs.existsSync(file), `the ${format} file ${file}`);
    }
    await page.screenshot({ path: path.join(artifacts, "demo-after-captures.png") });

    await page.click("#card");
    // The fields come one request after another once the read has answered.
    await page.waitForFunction(() => document.getElementById("card-name").textContent !== "" ||
                                     document.getElementById("card-result").textContent === "读卡失败",
                               null, { timeout: 30000 }).catch(() => {});
    check((await page.textContent("#card-name")) === "王小明", `the card read shows the name (${await page.textContent("#card-name")})`);
    const photo = await page.waitForFunction(() => document.getElementById("card-photo").naturalWidth, null,
                                             { timeout: 10000 }).then((h) => h.jsonValue(), () => 0);
    check(photo > 0, `the card's photo is shown (${photo} px wide)`);
    await page.screenshot({ path: path.join(artifacts, "demo-card.png"), fullPage: true });

    // Hands-free capture on the auxiliary camera's clip: the switch, the state and the pages as they come.
    await page.selectOption("#cameras", "1");
    await page.click("#restart");
    await page.waitForFunction(() => document.getElementById("log").textContent.includes("StartPreviewProc() = 0"),
                               null, { timeout: 20000 }).catch(() => {});
    await page.check("#auto");
    const pages = await page.waitForFunction(() => {
        const items = [...document.querySelectorAll("#auto-pages li")];
        const shown = items.filter((li) => li.dataset.result === "0" && li.querySelector("img")?.naturalWidth > 0);
        return shown.length >= 2 ? items.map((li) => li.dataset.path) : null;
    }, null, { timeout: 40000 }).then((h) => h.jsonValue(), () => null);
    check(pages !== null && pages.every((p) => p.startsWith(pictures) && fs.existsSync(p)),
          `hands-free capture lists its pages with their pictures (${JSON.stringify(pages)})`);
    const state = await page.textContent("#auto-state");
    check(["等待翻页", "静止", "拍照"].includes(state), `the switch shows the state (${state})`);
    await page.screenshot({ path: path.join(artifacts, "demo-auto-capture.png"), fullPage: true });
    await page.uncheck("#auto");
    await page.waitForFunction(() => document.getElementById("auto-state").textContent === "关闭", null,
                               { timeout: 10000 }).catch(() => {});
    check((await page.textContent("#auto-state")) === "关闭", "the switch turns hands-free capture off");

    // A picture whose folder and name have spaces, through pictureUrl(), which writes them as '+'.
    const jpeg = fs.readdirSync(pictures).find((name) => name.endsWith(".jpg"));
    fs.mkdirSync(path.join(pictures, "sub dir"), { recursive: true });
    fs.copyFileSync(path.join(pictures, jpeg), path.join(pictures, "sub dir", "pic one.jpg"));
    const spaced = await page.evaluate(async (file) => {
        const { pictureUrl } = await import("/qxcamera.js");
        return (await fetch(pictureUrl(file, 100))).status;
    }, path.join(pictures, "sub dir", "pic one.jpg"));
    check(spaced === 200, `a picture named with spaces is shown through pictureUrl() (${spaced})`);

    // Reloaded more often than the bridge has connections: each load gives its connections back.
    for (let i = 0; i < 70; ++i) {
        await page.reload();
        await page.waitForSelector("body[data-ready='1']", { timeout: 30000 });
    }
    check((await page.textContent("#status")) === "open", "the page still connects after 70 reloads");

    const hostile = await browser.newPage();
    await hostile.goto(`http://127.0.0.1:${foreignPort}/`);
    await hostile.waitForFunction(() => document.title.startsWith("{"), null, { timeout: 20000 });
    const results = JSON.parse(await hostile.title());
    check(results.socket === "refused", `another origin's WebSocket handshake is refused (${results.socket})`);
    check(results.preview === "refused", `another origin's fetch of the preview fails (${results.preview})`);
    // A no-cors response is opaque to the page whatever it holds; the bridge must not have served it.
    check(results.opaque === "opaque" || results.opaque === "refused", `another origin's no-cors fetch is opaque (${results.opaque})`);

    // The page's client comes back by itself when the bridge is restarted.
    const exit = await stopBridge();
    check(exit === 0, `the bridge ends cleanly on SIGTERM (${exit})`);
    // While the bridge is away the state alternates between reconnecting and connecting.
    const noticed = await page.waitForFunction(() => document.getElementById("status").textContent === "reconnecting",
                                               null, { timeout: 10000 }).then(() => true, () => false);
    check(noticed, "the page notices the bridge is gone");
    await startBridge();
    await page.waitForFunction(() => document.getElementById("status").textContent === "open", null,
                               { timeout: 20000 }).catch(() => {});
    check((await page.textContent("#status")) === "open", "the page reconnects to the restarted bridge");
    const count = await page.evaluate(() => window.qxcamera.call("RefreshDevList"));
    check(count === 2, `a call after the reconnect is answered (${count})`);
} finally {
    await browser.close();
    foreign.close();
    if (bridge.exitCode === null && bridge.signalCode === null) await stopBridge();
}
check(bridgeLog.includes(`refused GET /ws from 127.0.0.1`) &&
      bridgeLog.includes(`refused GET /preview.mjpg from 127.0.0.1`) &&
      bridgeLog.includes(`Origin "http://127.0.0.1:${foreignPort}" is not allowed`),
      "the bridge refused and logged the other origin's handshake and preview");
check(/refused GET \/snapshot.jpg from [^\n]*(cross|same)-site request from "http:\/\/127.0.0.1:\d+"/.test(bridgeLog),
      "the bridge refused the other origin's no-cors snapshot");
fs.writeFileSync(path.join(artifacts, "bridge.log"), bridgeLog);
fs.rmSync(home, { recursive: true, force: true });
console.log(failures.length ? `${failures.length} check(s) failed` : "all checks passed");
process.exit(failures.length ? 1 : 0);
