; KORVA Builder menu program: the 6502 program that a cartridge starts with.
;
; It runs from CPU $C000-$FFFF (the upper half of the first 32 KB PRG bank)
; with the first 8 KB CHR bank, shows the cartridge's two instruction lines
; and one line per slot (title with a dot leader, and an icon), lets the
; player choose with Up and Down and starts the chosen game with Start or A.
; The board it drives is described in docs/board.md.
;
; The image builder patches the structures in the PATCH segment: two
; instruction lines, the slot count, the titles (through the title pointer
; table) and the slot table. The five-word header in front of the program
; gives their addresses.

; ---------------------------------------------------------------- hardware
PPUCTRL   = $2000
PPUMASK   = $2001
PPUSTATUS = $2002
PPUSCROLL = $2005
PPUADDR   = $2006
PPUDATA   = $2007
APUSTATUS = $4015
JOYPAD1   = $4016
APUFRAME  = $4017
DMCFREQ   = $4010

; Board registers (docs/board.md).
BOARD_PRG    = $5000    ; 16 KB PRG bank number
BOARD_CHR    = $5001    ; 8 KB CHR bank number, the base of the game's window
BOARD_MODE   = $5002    ; bit 0 vertical mirroring, bit 1 16 KB PRG mirrored, bit 2 8 KB CHR window
BOARD_MAPPER = $5003    ; the game's mapper number; writing it locks the board

.import __STUB_LOAD__, __STUB_RUN__, __STUB_SIZE__

BTN_A      = $80
BTN_START  = $10
BTN_UP     = $08
BTN_DOWN   = $04

; Tiles of the menu font (font.txt).
TILE_SPACE  = $20
TILE_ICON   = $80       ; icon n (1 to 3) is tiles $80 + 2*(n-1) and the next
TILE_CURSOR = $86
TILE_RULE   = $87

MAX_SLOTS   = 16
TITLE_LEN   = 19
LINE_LEN    = 24
FIRST_ROW   = 7         ; name table row of slot 1
TITLE_COL   = 6         ; title column; the cursor stands two columns left
ICON_COL    = 26

; ---------------------------------------------------------------- header
.segment "PATCHHDR"
        .word InstLine1, InstLine2, SlotCount, TitlePointers, SlotTable

; ---------------------------------------------------------------- variables
.segment "ZEROPAGE"
ptr:        .res 2      ; general pointer
addr:       .res 2      ; PPU address being written
count:      .res 1      ; number of menu lines shown (slot count, at most 16)
cursor:     .res 1      ; chosen line, 0 based
pad:        .res 1      ; buttons held, A in bit 7 ... Right in bit 0
pad_last:   .res 1
pressed:    .res 1      ; buttons that went down this frame
frame:      .res 1      ; counted by NMI
dirty:      .res 1      ; NMI must move the cursor tile
old_at:     .res 2      ; PPU address of the cursor tile to clear
new_at:     .res 2      ; PPU address of the cursor tile to draw
tmp:        .res 1

; ---------------------------------------------------------------- program
.segment "CODE"

reset:
        sei
        cld
        ldx #$40
        stx APUFRAME            ; no frame IRQ
        ldx #$FF
        txs
        inx
        stx PPUCTRL             ; NMI off
        stx PPUMASK             ; rendering off
        stx DMCFREQ             ; no DMC IRQ
        stx APUSTATUS           ; sound off
        bit PPUSTATUS
@vblank1:
        bit PPUSTATUS
        bpl @vblank1

        lda #0
        tax
@clear:
        sta $0000,x
        sta $0100,x
        sta $0200,x
        sta $0300,x
        sta $0400,x
        sta $0500,x
        sta $0600,x
        sta $0700,x
        inx
        bne @clear

@vblank2:
        bit PPUSTATUS
        bpl @vblank2

        jsr draw_screen

        lda #0
        sta cursor
        jsr cursor_address
        lda addr
        sta new_at
        sta old_at
        lda addr+1
        sta new_at+1
        sta old_at+1
        lda count
        beq @no_cursor
        lda new_at+1
        sta PPUADDR
        lda new_at
        sta PPUADDR
        lda #TILE_CURSOR
        sta PPUDATA
@no_cursor:
        jsr wait_vblank
        lda #0
        sta PPUSCROLL
        sta PPUSCROLL
        lda #$80                ; NMI on, name table $2000, patterns at $0000
        sta PPUCTRL
        lda #$0A                ; background on, leftmost column too
        sta PPUMASK

main_loop:
        lda frame
@wait:
        cmp frame
        beq @wait
        jsr read_pad
        lda count
        beq main_loop           ; nothing to choose

        lda pressed
        and #(BTN_START | BTN_A)
        beq @no_start
        jmp launch
@no_start:
        lda pressed
        and #BTN_UP
        beq @no_up
        ldx cursor
        dex
        bpl @up_done
        ldx count               ; wrap to the last line
        dex
@up_done:
        jsr move_cursor
        jmp main_loop
@no_up:
        lda pressed
        and #BTN_DOWN
        beq main_loop
        ldx cursor
        inx
        cpx count
        bcc @down_done
        ldx #0                  ; wrap to the first line
@down_done:
        jsr move_cursor
        jmp main_loop

; Moves the cursor to line X; NMI redraws it.
move_cursor:
        lda #0
        sta dirty
        lda new_at
        sta old_at
        lda new_at+1
        sta old_at+1
        stx cursor
        jsr cursor_address
        lda addr
        sta new_at
        lda addr+1
        sta new_at+1
        lda #1
        sta dirty
        rts

; addr = the PPU address of the cursor on line `cursor`: two columns left of
; the title, whose address the title entry holds in its first two bytes.
cursor_address:
        lda cursor
        jsr title_entry
        ldy #0
        lda (ptr),y
        sec
        sbc #2
        sta addr
        iny
        lda (ptr),y
        sbc #0
        sta addr+1
        rts

; ptr = the title entry of line A, from the title pointer table.
title_entry:
        asl a
        tay
        lda TitlePointers,y
        sta ptr
        lda TitlePointers+1,y
        sta ptr+1
        rts

; Reads controller 1: pad = buttons held, pressed = buttons newly down.
read_pad:
        lda pad
        sta pad_last
        lda #1
        sta JOYPAD1
        lda #0
        sta JOYPAD1
        ldx #8
@bit:
        lda JOYPAD1
        lsr a
        rol pad
        dex
        bne @bit
        lda pad_last
        eor #$FF
        and pad
        sta pressed
        rts

wait_vblank:
        bit PPUSTATUS
@wait:
        bit PPUSTATUS
        bpl @wait
        rts

; Sets the PPU address to addr.
set_ppu_addr:
        bit PPUSTATUS
        lda addr+1
        sta PPUADDR
        lda addr
        sta PPUADDR
        rts

; Writes text character A as a tile: lower-case letters as upper case, codes
; outside the font as a space. "%" is the dot leader.
put_char:
        cmp #$61
        bcc @upper
        cmp #$7B
        bcs @blank
        sbc #$1F                ; carry clear: subtracts $20
@upper:
        cmp #$20
        bcc @blank
        cmp #$60
        bcc @put
@blank:
        lda #TILE_SPACE
@put:
        sta PPUDATA
        rts

; Draws the whole screen with rendering off.
draw_screen:
        ; palettes
        bit PPUSTATUS
        lda #$3F
        sta PPUADDR
        lda #$00
        sta PPUADDR
        ldx #0
@palette:
        lda palettes,x
        sta PPUDATA
        inx
        cpx #32
        bne @palette

        ; name table: spaces, then the attribute table
        lda #$20
        sta PPUADDR
        lda #$00
        sta PPUADDR
        lda #TILE_SPACE
        ldy #4
        ldx #$C0                ; 3 x 256 + 192 = 960 tiles
@tiles:
        sta PPUDATA
        dex
        bne @tiles
        dey
        bne @tiles
        ldx #0
@attributes:
        lda attributes,x
        sta PPUDATA
        inx
        cpx #64
        bne @attributes

        ; the two rules
        lda #<($2000 + 5 * 32 + 2)
        ldx #>($2000 + 5 * 32 + 2)
        jsr draw_rule
        lda #<($2000 + 24 * 32 + 2)
        ldx #>($2000 + 24 * 32 + 2)
        jsr draw_rule

        ; instruction lines
        lda #<($2000 + 2 * 32 + 4)
        sta addr
        lda #>($2000 + 2 * 32 + 4)
        sta addr+1
        lda #<InstLine1
        sta ptr
        lda #>InstLine1
        sta ptr+1
        jsr draw_line
        lda #<($2000 + 3 * 32 + 4)
        sta addr
        lda #>($2000 + 3 * 32 + 4)
        sta addr+1
        lda #<InstLine2
        sta ptr
        lda #>InstLine2
        sta ptr+1
        jsr draw_line

        ; help line
        lda #<($2000 + 26 * 32 + 4)
        sta addr
        lda #>($2000 + 26 * 32 + 4)
        sta addr+1
        lda #<help_text
        sta ptr
        lda #>help_text
        sta ptr+1
        jsr draw_line

        ; slot lines
        lda SlotCount
        cmp #MAX_SLOTS + 1
        bcc @count_ok
        lda #MAX_SLOTS
@count_ok:
        sta count
        lda #0
        sta tmp
@slot:
        lda tmp
        cmp count
        bcs @slots_done
        jsr draw_slot
        inc tmp
        jmp @slot
@slots_done:
        rts

; Draws a rule of 28 tiles at PPU address X:A.
draw_rule:
        bit PPUSTATUS
        stx PPUADDR
        sta PPUADDR
        lda #TILE_RULE
        ldx #28
@tile:
        sta PPUDATA
        dex
        bne @tile
        rts

; Draws the text at ptr (at most 24 characters, ending early at a 0x00) from
; PPU address addr.
draw_line:
        jsr set_ppu_addr
        ldy #0
@char:
        lda (ptr),y
        beq @done
        jsr put_char
        iny
        cpy #LINE_LEN
        bne @char
@done:
        rts

; Draws menu line `tmp`: its title (19 characters from the fifth byte of its
; title entry, ending early at a 0x00) and, for icon values 1 to 3, its icon.
draw_slot:
        lda tmp
        jsr title_entry
        ldy #0
        lda (ptr),y
        sta addr
        iny
        lda (ptr),y
        sta addr+1
        jsr set_ppu_addr
        ldy #4
@char:
        lda (ptr),y
        beq @title_done
        jsr put_char
        iny
        cpy #4 + TITLE_LEN
        bne @char
@title_done:
        ; the icon: slot table byte 0
        lda tmp
        asl a
        adc tmp
        asl a                   ; x 6
        tax
        lda SlotTable,x
        beq @no_icon
        cmp #4
        bcs @no_icon
        sec
        sbc #1
        asl a
        adc #TILE_ICON
        pha
        lda addr
        clc
        adc #ICON_COL - TITLE_COL
        sta addr
        lda addr+1
        adc #0
        sta addr+1
        jsr set_ppu_addr
        pla
        sta PPUDATA
        clc
        adc #1
        sta PPUDATA
@no_icon:
        rts

; Starts the game of line `cursor`. Copies the start-up code to RAM with the
; slot table entry written into it, puts the NES in its power-on state as far
; as a game can tell and runs the copy, which sets up the board and jumps
; through the game's own reset vector.
launch:
        sei
        lda #0
        sta PPUCTRL
        sta PPUMASK

        ldy #0
@copy:
        lda __STUB_LOAD__,y
        sta __STUB_RUN__,y
        iny
        cpy #<__STUB_SIZE__
        bne @copy

        lda cursor
        asl a
        adc cursor
        asl a                   ; x 6
        tax
        lda SlotTable+3,x       ; PRG bank, 16 KB units
        and #$1F
        sta stub_prg+1
        lda SlotTable+1,x       ; vertical mirroring
        and #1
        sta tmp
        lda SlotTable+2,x       ; half-bank flag: PRG mirrored, 8 KB CHR window
        and #1
        beq @full_bank
        lda #6
@full_bank:
        ora tmp
        sta stub_mode+1
        lda SlotTable+4,x       ; CHR bank, 8 KB units
        and #$3F
        sta stub_chr+1
        lda SlotTable+5,x       ; mapper
        sta stub_mapper+1

        ; sound: every APU register as at power-on, channels off
        lda #0
        ldx #$13
@apu:
        sta $4000,x
        dex
        bpl @apu
        sta APUSTATUS
        lda #$40
        sta APUFRAME

        ; PPU: address, scroll and the write toggle back to zero
        bit PPUSTATUS
        lda #0
        sta PPUADDR
        sta PPUADDR
        sta PPUSCROLL
        sta PPUSCROLL

        ; RAM below the start-up code: zero
        tax
@ram:
        sta $0000,x
        sta $0100,x
        sta $0200,x
        sta $0300,x
        sta $0400,x
        sta $0500,x
        sta $0600,x
        inx
        bne @ram
        jmp __STUB_RUN__

; The start-up code, run from RAM at $0700. The immediate operands are
; written by `launch` before it runs.
.segment "STUB"
stub_prg:
        lda #0
        sta BOARD_PRG
stub_mode:
        lda #0
        sta BOARD_MODE
        and #2
        bne @mode_done
        ; A full-bank game whose upper 16 KB holds no program (a 16 KB PRG in
        ; a 32 KB bank) has no reset vector there: the builder fills the
        ; unused half. Such a game is mirrored like a half-bank game, as on
        ; its own NROM board.
        lda $FFFD
        cmp #$80
        bcc @mirror
        and $FFFC
        cmp #$FF
        bne @mode_done
@mirror:
        lda stub_mode+1
        ora #2
        sta BOARD_MODE
@mode_done:
stub_chr:
        lda #0
        sta BOARD_CHR
stub_mapper:
        lda #0
        sta BOARD_MAPPER        ; locks the board until the next reset
        ldx #$FD
        txs
        lda #0
        tax
        tay
        jmp ($FFFC)

.segment "CODE"
nmi:
        pha
        txa
        pha
        lda dirty
        beq @scroll
        bit PPUSTATUS
        lda old_at+1
        sta PPUADDR
        lda old_at
        sta PPUADDR
        lda #TILE_SPACE
        sta PPUDATA
        lda new_at+1
        sta PPUADDR
        lda new_at
        sta PPUADDR
        lda #TILE_CURSOR
        sta PPUDATA
        lda #0
        sta dirty
@scroll:
        lda #0
        sta PPUSCROLL
        sta PPUSCROLL
        lda #$80
        sta PPUCTRL
        inc frame
        pla
        tax
        pla
irq:
        rti

; ---------------------------------------------------------------- data
.segment "RODATA"

; Colours that read the same on the PlayChoice-10's RGB PPU and on a 2C02:
; black, white, light blue, orange; the instruction lines in yellow.
palettes:
        .byte $0F, $30, $21, $27,  $0F, $28, $21, $27,  $0F, $30, $21, $27,  $0F, $30, $21, $27
        .byte $0F, $30, $21, $27,  $0F, $28, $21, $27,  $0F, $30, $21, $27,  $0F, $30, $21, $27

; Palette 1 for rows 2 and 3 (the instruction lines), palette 0 elsewhere.
attributes:
        .byte $50, $50, $50, $50, $50, $50, $50, $50
        .res 56, $00

help_text:
        .byte "UP/DOWN, START TO PLAY", 0

; ---------------------------------------------------------------- patched by the builder
.segment "PATCH"
InstLine1:
        .res LINE_LEN, ' '
        .byte 0
InstLine2:
        .res LINE_LEN, ' '
        .byte 0
SlotCount:
        .byte 0
TitlePointers:
.repeat MAX_SLOTS, I
        .word TitleEntries + I * (4 + TITLE_LEN + 1)
.endrepeat
SlotTable:
        .res MAX_SLOTS * 6, 0

; Title entries: the PPU address of the title on screen, the slot number and
; a spare byte (ours), then the 19-byte title field and its 0x00.
TitleEntries:
.repeat MAX_SLOTS, I
        .word $2000 + (FIRST_ROW + I) * 32 + TITLE_COL
        .byte I + 1, 0
        .res TITLE_LEN, '%'
        .byte 0
.endrepeat

.segment "VECTORS"
        .word nmi, reset, irq

.segment "CHARS"
        .incbin "menu.chr"
