// Validates one .glb or .gltf with the Khronos glTF validator; prints the
// issue counts (and every error and warning) and fails on any error.
const fs = require('fs');
const path = require('path');
const validator = require('gltf-validator');

const file = process.argv[2];
validator.validateBytes(new Uint8Array(fs.readFileSync(file)), {
    uri: path.basename(file),
    maxIssues: 50,
    externalResourceFunction: (uri) => Promise.reject(new Error('external resource ' + uri)),
}).then((report) => {
    const issues = report.issues;
    for (const m of issues.messages) {
        if (m.severity <= 1) console.log(`  ${m.code} ${m.pointer || ''}: ${m.message}`);
    }
    console.log(`errors ${issues.numErrors}, warnings ${issues.numWarnings}, ` +
                `infos ${issues.numInfos}, hints ${issues.numHints}`);
    process.exit(issues.numErrors === 0 ? 0 : 1);
}, (error) => {
    console.log(`validator failed: ${error}`);
    process.exit(1);
});
