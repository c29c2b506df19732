// Test only, run inside KWin by the end-to-end test: the windows and popups, as one line of JSON
// in KWin's log.
print('E2E ' + JSON.stringify(workspace.clientList().filter(w => w.normalWindow || w.popupWindow)
    .map(w => ({title: w.caption, app: w.desktopFileName, popup: w.popupWindow, x: w.x, y: w.y, w: w.width,
        h: w.height, focus: workspace.activeClient === w, skipTaskbar: w.skipTaskbar}))));
