// The pointer's position for Pellmar's readout, loaded only while the
// readout is shown. One report at a time: Pellmar answers when it can show
// the next, so KWin sends no oftener than that, and the last always arrives.
// A report unanswered this long means Pellmar is gone: the script takes
// itself away.
const patienceMs = 2000;

let sentAt = 0;   // when the unanswered report went out; 0: none
let owed = false; // the pointer moved since

function send() {
    if (sentAt) {
        owed = true;
        if (Date.now() - sentAt > patienceMs)
            stop();
        return;
    }
    owed = false;
    sentAt = Date.now();
    const p = workspace.cursorPos;
    callDBus("com.brenvik.Pellmar.KWin", "/com/brenvik/Pellmar/KWin", "com.brenvik.Pellmar.KWin",
             "Pointer", p.x, p.y, () => {
                 sentAt = 0;
                 if (owed)
                     send();
             });
}

function stop() {
    workspace.cursorPosChanged.disconnect(send);
    callDBus("org.kde.KWin", "/Scripting", "org.kde.kwin.Scripting", "unloadScript",
             "pellmar-readout");
}

workspace.cursorPosChanged.connect(send);
send();
