// go_writer: ZIP archives as Go's archive/zip writes them, for the end-to-end
// test of archives from real writers. Standard library only.
//
//	go_writer create OUT.zip DIR   every file of DIR through Writer.Create
//	                               (Deflate, no time: a DOS date of 0)
//	go_writer store OUT.zip DIR    every file and folder of DIR through
//	                               CreateHeader(FileInfoHeader) with Store
//
// Names are relative to DIR, with "/" and folders ending in "/", in the
// lexical order of filepath.WalkDir. Either way each file's local header has
// bit 3 set and no sizes; a data descriptor follows its data.
package main

import (
	"archive/zip"
	"fmt"
	"io"
	"io/fs"
	"os"
	"path/filepath"
)

func main() {
	if len(os.Args) != 4 || (os.Args[1] != "create" && os.Args[1] != "store") {
		fmt.Fprintln(os.Stderr, "usage: go_writer create|store OUT.zip DIR")
		os.Exit(2)
	}
	if err := write(os.Args[1], os.Args[2], os.Args[3]); err != nil {
		fmt.Fprintln(os.Stderr, "go_writer:", err)
		os.Exit(1)
	}
}

func write(mode, out, dir string) error {
	f, err := os.Create(out)
	if err != nil {
		return err
	}
	z := zip.NewWriter(f)
	err = filepath.WalkDir(dir, func(path string, d fs.DirEntry, err error) error {
		if err != nil || path == dir {
			return err
		}
		rel, err := filepath.Rel(dir, path)
		if err != nil {
			return err
		}
		name := filepath.ToSlash(rel)
		var w io.Writer
		if mode == "create" {
			if d.IsDir() {
				return nil
			}
			w, err = z.Create(name)
		} else {
			var info fs.FileInfo
			var h *zip.FileHeader
			if info, err = d.Info(); err != nil {
				return err
			}
			if h, err = zip.FileInfoHeader(info); err != nil {
				return err
			}
			h.Name = name
			if d.IsDir() {
				h.Name += "/"
			}
			h.Method = zip.Store
			w, err = z.CreateHeader(h)
		}
		if err != nil || d.IsDir() {
			return err
		}
		src, err := os.Open(path)
		if err != nil {
			return err
		}
		defer src.Close()
		_, err = io.Copy(w, src)
		return err
	})
	if err != nil {
		return err
	}
	if err := z.Close(); err != nil {
		return err
	}
	return f.Close()
}
