// ZIP archives as Node's common writers make them, for the end-to-end test of
// archives from real writers:
//
//   node write.js yazl OUT.zip DIR       every file of DIR through yazl's addFile
//   node write.js archiver OUT.zip DIR   DIR through archiver's directory()
//
// The packages come from the versions pinned in package.json, installed into
// a folder of the build tree (NODE_PATH names its node_modules). Both set bit 3
// and write a data descriptor after each file's data.
"use strict";
const fs = require("fs");
const path = require("path");

const [mode, out, dir] = process.argv.slice(2);

// The files below dir, relative with "/", in sorted order.
function files(folder, prefix = "") {
  return fs.readdirSync(folder, { withFileTypes: true })
    .sort((a, b) => (a.name < b.name ? -1 : a.name > b.name ? 1 : 0))
    .flatMap((d) => d.isDirectory() ? files(path.join(folder, d.name), prefix + d.name + "/")
                                    : [prefix + d.name]);
}

function fail(error) {
  console.error(`write.js: ${error.message || error}`);
  process.exit(1);
}

if (mode === "yazl") {
  const yazl = require("yazl");
  const zip = new yazl.ZipFile();
  for (const name of files(dir)) zip.addFile(path.join(dir, name), name);
  zip.outputStream.pipe(fs.createWriteStream(out)).on("error", fail);
  zip.end();
} else if (mode === "archiver") {
  const archiver = require("archiver");
  const zip = archiver("zip", { zlib: { level: 9 } });
  zip.on("error", fail).on("warning", fail);
  zip.pipe(fs.createWriteStream(out)).on("error", fail);
  zip.directory(dir, false);
  zip.finalize();
} else {
  console.error("usage: node write.js yazl|archiver OUT.zip DIR");
  process.exit(2);
}
