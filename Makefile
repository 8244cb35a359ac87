# The commands a newcomer runs. Each installs what is missing first (scripts/deps.sh).
#   make demo      build and run the production (Linux, SDL2); with no display, make video instead
#   make video     build/vadurer.mp4: the whole production with its sound, rendered through ffmpeg
#   make check     the quick loop: build the native tree, run its unit program, the layering and format checks
#   make test      build both platforms and run every test, natively and under Wine
#   make windows   build/windows/: vadurer.exe and its assets, ready to copy to a PC
#   make fuzz      run each fuzz target for a bounded time
#   make bench     run the benchmarks
#   make contact-sheets  build/contact-sheets/: the pictures and composed frames, as PNG sheets
#   make web       build/web/: the production as a page (emscripten)
#   make serve     serve build/web on 127.0.0.1 (PORT, default 8015) with the headers threads need
#   make dist      dist/: the Windows zip, the Debian package, the page's zip, the video, SHA256SUMS
#   make dist-check  make dist, then check each release with its platform's own tools
BUILD := build
JOBS ?= 2
CMAKE_NATIVE := cmake -S . -B $(BUILD)/linux -DCMAKE_BUILD_TYPE=RelWithDebInfo
CMAKE_WINDOWS := cmake -S . -B $(BUILD)/win -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	-DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake -DVADURER_ASSETMAKER=$(abspath $(BUILD))/play/tools/assetmaker

.PHONY: demo video check test windows web serve dist dist-check fuzz bench native play-build assets contact-sheets \
	deps-native deps-windows deps-web clean

deps-native:
	@scripts/deps.sh native

deps-windows:
	@scripts/deps.sh windows

deps-web:
	@scripts/deps.sh web

native: deps-native
	@$(CMAKE_NATIVE) >/dev/null
	@cmake --build $(BUILD)/linux -j$(JOBS)

# The production alone, without the tests, so that playing it needs only what it is built from.
play-build:
	@scripts/deps.sh demo
	@cmake -S . -B $(BUILD)/play -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVADURER_TESTS=OFF >/dev/null
	@cmake --build $(BUILD)/play -j$(JOBS) --target vadurer assetmaker

assets: play-build
	@scripts/assets.sh $(BUILD)/play $(BUILD)/demo

demo: assets
	@scripts/demo.sh $(BUILD)/play/vadurer $(BUILD)/demo $(BUILD)/vadurer.mp4

video: assets
	@scripts/deps.sh video
	@scripts/video.sh $(BUILD)/play/vadurer $(BUILD)/demo $(BUILD)/vadurer.mp4

check:
	@JOBS=$(JOBS) scripts/check.sh

test:
	@scripts/test.sh

windows: deps-windows assets
	@$(CMAKE_WINDOWS) >/dev/null
	@cmake --build $(BUILD)/win -j$(JOBS) --target vadurer
	@mkdir -p $(BUILD)/windows
	@cp $(BUILD)/win/vadurer.exe $(BUILD)/windows/
	@cp -r $(BUILD)/demo/. $(BUILD)/windows/
	@echo "$(BUILD)/windows: vadurer.exe and its assets"

PORT ?= 8015
web: deps-web deps-native
	@$(CMAKE_NATIVE) >/dev/null
	@cmake --build $(BUILD)/linux -j$(JOBS) --target assetmaker frameshot
	@JOBS=$(JOBS) scripts/web.sh $(BUILD)/linux $(BUILD)/web

serve:
	@node scripts/serve.mjs $(BUILD)/web $(PORT)

dist:
	@scripts/deps.sh dist
	@JOBS=$(JOBS) scripts/dist.sh

dist-check: dist
	@scripts/deps.sh dist-check
	@route=$$(scripts/windows-route.sh --install $(BUILD)) && VADURER_WINDOWS_ARCH=$$route JOBS=$(JOBS) scripts/dist-check.sh

fuzz: deps-native
	@scripts/fuzz.sh $(BUILD)/fuzz

bench: deps-native deps-web
	@JOBS=$(JOBS) scripts/bench.sh $(BUILD)/bench

contact-sheets: deps-native
	@$(CMAKE_NATIVE) >/dev/null
	@cmake --build $(BUILD)/linux -j$(JOBS) --target assetmaker contactframes
	@scripts/contact-sheets.sh $(BUILD)/linux $(BUILD)/contact-sheets

clean:
	rm -rf $(BUILD)
