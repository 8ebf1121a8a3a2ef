// The web tests' checks: each one named and told as "ok" or "FAIL" with
// its reason, all of them run; finish() ends the process with status 1 if
// any failed.
'use strict';

function checks() {
    let failures = 0;
    return {
        check(what, fn) {
            try {
                fn();
                console.log('ok   ' + what);
            } catch (error) {
                ++failures;
                console.log('FAIL ' + what + '\n     ' + error.message);
            }
        },
        finish() {
            if (!failures) return;
            console.log(`${failures} check(s) failed`);
            process.exit(1);
        },
    };
}

module.exports = { checks };
