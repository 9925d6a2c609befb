// Cuts named files out of a MediaPipe packed asset bundle. The bundle's loader script lists each
// file as {"filename": ..., "start": ..., "end": ...} (byte offsets into the .data file).
// Usage: node unpack_assets.js LOADER_JS DATA_FILE OUT_DIR NAME...
'use strict';
const fs = require('fs');
const path = require('path');

const [loaderPath, dataPath, outDir, ...wanted] = process.argv.slice(2);
const loader = fs.readFileSync(loaderPath, 'utf8');
const match = loader.match(/"files":\s*(\[[^\]]*\])/);
if (!match) {
  console.error(`${loaderPath}: no file list found`);
  process.exit(1);
}
const data = fs.readFileSync(dataPath);
const byName = new Map(JSON.parse(match[1]).map((f) => [path.basename(f.filename), f]));
for (const name of wanted) {
  const entry = byName.get(name);
  if (!entry) {
    console.error(`${loaderPath}: does not list ${name}`);
    process.exit(1);
  }
  if (!(entry.start >= 0 && entry.end >= entry.start && entry.end <= data.length)) {
    console.error(`${dataPath}: byte range of ${name} lies outside the bundle`);
    process.exit(1);
  }
  fs.writeFileSync(path.join(outDir, name), data.subarray(entry.start, entry.end));
}
