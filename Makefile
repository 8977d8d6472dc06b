# Kerfline: `make run` builds and starts the program, `make test` builds and runs every test.
BUILD ?= build
JOBS ?= $(shell nproc)

.PHONY: run test deps configure build sanitize screenshots package clean

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

# The manual's pictures, taken from the real program under Xvfb, into docs/manual/images.
screenshots: build
	./scripts/manual-screenshots.sh $(BUILD) docs/manual/images

# The Debian package, in the build folder.
package: build
	cd $(BUILD) && cpack -G DEB

clean:
	rm -rf $(BUILD) build-asan
