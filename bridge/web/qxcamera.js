// qxcamera.js: the camera control of qxbridge for web pages, as promises over one WebSocket.
//
//   import { connect } from "http://127.0.0.1:47800/qxcamera.js";
//   const camera = connect();                 // or connect("ws://127.0.0.1:47800/ws")
//   await camera.ready;
//   const found = await camera.call("RefreshDevList");
//   await camera.put("CustomImgName", "A001");
//   const result = await camera.call("Morvel", "jpg");
//   const file = await camera.get("cPicName");

const moduleUrl = new URL(import.meta.url);

// The bridge this module was loaded from.
export function bridgeUrl(path = "/") {
    return new URL(path, moduleUrl.origin).toString();
}

export function defaultSocketUrl() {
    const url = new URL("/ws", moduleUrl.origin);
    url.protocol = url.protocol === "https:" ? "wss:" : "ws:";
    return url.toString();
}

// The live picture as an MJPEG stream for an <img>, scaled to `width` pixels when given.
export function previewUrl(width) {
    return bridgeUrl(width ? `/preview.mjpg?width=${width}` : "/preview.mjpg");
}

// A saved picture (any format the control writes, PDF and TIFF too) as a JPEG for an <img>.
export function pictureUrl(path, width) {
    const query = new URLSearchParams({ path });
    if (width) query.set("width", String(width));
    return bridgeUrl(`/picture.jpg?${query}`);
}

export class BridgeError extends Error {
    constructor(code, message) {
        super(message);
        this.name = "BridgeError";
        this.code = code;
    }
}

// Requests are answered in the order they were sent. A request sent on a connection that drops is
// rejected, never sent again: a capture must not run twice. Requests made while the bridge is away
// wait and go out once it is back. The connection comes back by itself, waiting longer each time.
// `onevent(message)` hears what the control tells every page of its own accord, such as each
// hands-free capture: {event: "captured", result: 0, path: "..."} and {event: "autoCaptureState", state: 2}.
export function connect(url = defaultSocketUrl(), { minDelay = 250, maxDelay = 8000, onstate, onevent } = {}) {
    let socket = null;
    let nextId = 1;
    let delay = minDelay;
    let closed = false;
    let resolveReady;
    const pending = new Map(); // id -> {resolve, reject}, sent and waiting for an answer
    const waiting = [];        // messages not sent yet
    const connection = {
        state: "connecting",
        ready: new Promise((resolve) => (resolveReady = resolve)),
        get: (name) => request("get", name, []),
        put: (name, value) => request("put", name, [value]),
        call: (name, ...args) => request("call", name, args),
        close() {
            closed = true;
            if (socket) socket.close();
            fail(new BridgeError(0, "connection closed"));
        },
    };

    function setState(state) {
        connection.state = state;
        if (onstate) onstate(state);
    }

    function fail(error) {
        for (const { reject } of pending.values()) reject(error);
        pending.clear();
    }

    function request(op, name, args) {
        return new Promise((resolve, reject) => {
            if (closed) return reject(new BridgeError(0, "connection closed"));
            const id = nextId++;
            const text = JSON.stringify({ id, op, name, args });
            pending.set(id, { resolve, reject });
            if (socket && socket.readyState === WebSocket.OPEN) socket.send(text);
            else waiting.push(text);
        });
    }

    function open() {
        setState("connecting");
        socket = new WebSocket(url);
        socket.onopen = () => {
            delay = minDelay;
            setState("open");
            resolveReady(connection);
            while (waiting.length) socket.send(waiting.shift());
        };
        socket.onmessage = (event) => {
            let answer;
            try {
                answer = JSON.parse(event.data);
            } catch {
                return;
            }
            if (answer && answer.id === undefined && typeof answer.event === "string") {
                if (onevent) onevent(answer);
                return;
            }
            const entry = pending.get(answer.id);
            if (!entry) return;
            pending.delete(answer.id);
            if (answer.error) entry.reject(new BridgeError(answer.error.code, answer.error.message));
            else entry.resolve(answer.result);
        };
        socket.onclose = () => {
            // What was sent is lost with the connection; what still waits goes out after the reconnect.
            const sent = [...pending.entries()].filter(([id]) => !waiting.some((t) => JSON.parse(t).id === id));
            for (const [id, { reject }] of sent) {
                pending.delete(id);
                reject(new BridgeError(0, "connection lost"));
            }
            if (closed) return setState("closed");
            setState("reconnecting");
            setTimeout(open, delay);
            delay = Math.min(delay * 2, maxDelay);
        };
    }

    open();
    return connection;
}
