# Kravix: `make run` builds and starts the program, `make test` builds and runs
# every test. Both install the Debian packages they need first. `make install`
# installs under PREFIX (into DESTDIR when given), `make deb` builds a Debian
# package in $(BUILD)/.
BUILD      ?= build
FUZZ_BUILD ?= build-fuzz
JOBS       ?= $(shell nproc)
FUZZ_SECONDS ?= 180
PREFIX     ?= /usr/local
DESTDIR    ?=

.PHONY: all deps configure build run test bench fuzz fuzz-ci clean install deb

all: build

deps:
	@scripts/install-deps.sh

$(BUILD)/build.ninja:
	cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo

configure: deps $(BUILD)/build.ninja

build: configure
	cmake --build $(BUILD) -j $(JOBS)

run: build
	$(BUILD)/bin/kravix $(ARGS)

test: build
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS) --timeout 600

# Straight into the system (no DESTDIR), the desktop's caches are refreshed too.
install: build
	DESTDIR="$(DESTDIR)" cmake --install $(BUILD) --prefix "$(PREFIX)"
	@if [ -z "$(DESTDIR)" ]; then \
	  command -v update-mime-database >/dev/null && update-mime-database "$(PREFIX)/share/mime" || true; \
	  command -v update-desktop-database >/dev/null && update-desktop-database -q "$(PREFIX)/share/applications" || true; \
	  command -v gtk-update-icon-cache >/dev/null && gtk-update-icon-cache -q -t "$(PREFIX)/share/icons/hicolor" || true; \
	fi

deb: build
	packaging/build-deb.sh $(BUILD) $(BUILD)

bench: build
	bench/run.sh $(BUILD)

$(FUZZ_BUILD)/build.ninja:
	CC=clang CXX=clang++ cmake -S . -B $(FUZZ_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	  -DKRAVIX_GUI=OFF -DKRAVIX_FUZZ=ON \
	  -DCMAKE_CXX_FLAGS="-fsanitize=address,undefined,fuzzer-no-link -fno-sanitize-recover=undefined" \
	  -DCMAKE_C_FLAGS="-fsanitize=address,undefined,fuzzer-no-link"

fuzz: deps $(FUZZ_BUILD)/build.ninja
	cmake --build $(FUZZ_BUILD) -j $(JOBS) --target kx_fuzz_targets
	fuzz/run.sh $(FUZZ_BUILD) $(FUZZ_SECONDS)

# What CI runs: the committed corpora replayed, then a short fuzzing run each.
fuzz-ci:
	$(MAKE) fuzz FUZZ_SECONDS=20

clean:
	rm -rf $(BUILD) $(FUZZ_BUILD)
