import {Extension} from 'resource:///org/gnome/shell/extensions/extension.js';

import {ShellService} from './service.js';

// Pellmar's companion: everything is in the service, made on enable and
// taken down whole on disable (the lock screen disables it too).
export default class PellmarExtension extends Extension {
    enable() {
        this._service = new ShellService();
    }

    disable() {
        this._service?.destroy();
        this._service = null;
    }
}
