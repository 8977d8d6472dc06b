# Kerfline: `make run` builds and starts the program, `make test` builds and runs every test.
BUILD ?= build
JOBS ?= $(shell nproc)

.PHONY: run test deps configure build sanitize tsan screenshots package clean windows windows-test windows-gui

run: build
	./scripts/run-kerfline.sh $(BUILD)

test: build
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS)

deps:
	./scripts/install-deps.sh

configure: deps
	cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo

build: configure
	cmake --build $(BUILD) -j $(JOBS)

# The tests under AddressSanitizer and UndefinedBehaviorSanitizer.
sanitize: deps
	cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DKERFLINE_SANITIZE=ON
	cmake --build build-asan -j $(JOBS)
	cd build-asan && ctest --output-on-failure -j $(JOBS)

# The player's tests under ThreadSanitizer, the stress tests among them (with a budget that evicts).
tsan: deps
	cmake -S . -B build-tsan -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKERFLINE_TSAN=ON -DKERFLINE_GUI=OFF
	cmake --build build-tsan -j $(JOBS) --target kerfline_playback_tests
	cd build-tsan && TSAN_OPTIONS=halt_on_error=1 ./tests/kerfline_playback_tests

# The manual's pictures, taken from the real program under Xvfb, into docs/manual/images.
screenshots: build
	./scripts/manual-screenshots.sh $(BUILD) docs/manual/images

# The Debian package, in the build folder.
package: build
	cd $(BUILD) && cpack -G DEB

# kerfline-cli.exe and the test programs for Windows, cross-built with mingw-w64 (libraries cached
# in ~/.cache/kerfline-windows).
windows:
	./scripts/cross-windows.sh build build-windows

# The test programs under Wine, and the same-bytes check against this machine's own build.
windows-test: build
	KERFLINE_LINUX_BUILD=$(BUILD) ./scripts/cross-windows.sh test build-windows

# kerfline.exe and its installer, Kerfline-Setup-4.0.exe, in build-windows-gui/: Qt 6 is cross-built
# once into ~/.cache/kerfline-windows (about an hour on two cores). scripts/windows-gui-check.sh tries
# the installer under Wine.
windows-gui:
	./scripts/cross-windows.sh gui build-windows-gui

clean:
	rm -rf $(BUILD) build-asan build-tsan build-windows build-windows-gui
