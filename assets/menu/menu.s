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
;
; Where everything goes on screen is kept in one place, the layout table at
; $F000 (LAYOUT segment, docs/menu.md): the palettes, the attribute table,
; the PPU settings, the tile for every text character, a list of what is
; drawn where, and how a slot line is made. The code below draws only from
; that table; the builder's menu preview reads the same bytes out of the
; exported PRG, so the two cannot show different screens.

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
TITLE_COL   = 6         ; title column
CURSOR_COL  = 4
ICON_COL    = 26

; Offsets of the layout table's fields (the table itself is at the end).
LY_CTRL      = 13       ; PPUCTRL once the screen is drawn
LY_MASK      = 14       ; PPUMASK once the screen is drawn
LY_FILL      = 15       ; the tile the whole name table starts with
LY_PALETTES  = 16       ; address of the 32 palette bytes
LY_ATTRS     = 18       ; address of the 64-byte attribute table
LY_CHARMAP   = 20       ; address of the 256-byte text character to tile map
LY_COUNT     = 22       ; address of the slot count byte
LY_TITLES    = 24       ; address of the title pointer table
LY_SLOTS     = 26       ; address of the slot table (6 bytes a slot)
LY_MAXSLOTS  = 28       ; at most this many slot lines
LY_TITLELEN  = 29       ; title characters drawn at most
LY_CURSOR    = 30       ; cursor tile
LY_CURBACK   = 31       ; the cursor's columns left of the title
LY_ICON      = 32       ; icon n is tiles ICON + 2*(n-1) and the next
LY_ICONS     = 33       ; icon values 1 to ICONS are drawn, others not
LY_ICONSHIFT = 34       ; the icon's columns right of the title's first
LY_ITEMS     = 35       ; address of the draw list

; Draw list items: a kind byte, the PPU address (a word), then
ITEM_END  = 0           ;   (nothing: the list ends)
ITEM_RUN  = 1           ;   a tile and a count: the tile, count times
ITEM_TEXT = 2           ;   a text address and a length: the text through the
                        ;   character map, ending early at a 0x00

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
tmp2:       .res 1
len:        .res 1      ; characters draw_text draws at most
charmap:    .res 2      ; the layout's character map
item:       .res 2      ; the draw list item being drawn

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
        lda Layout+LY_CURSOR
        sta PPUDATA
@no_cursor:
        jsr wait_vblank
        lda #0
        sta PPUSCROLL
        sta PPUSCROLL
        lda Layout+LY_CTRL
        sta PPUCTRL
        lda Layout+LY_MASK
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

; addr = the PPU address of the cursor on line `cursor`: the layout's
; columns left of the title, whose address the title entry holds in its
; first two bytes.
cursor_address:
        lda cursor
        jsr title_entry
        ldy #0
        lda (ptr),y
        sec
        sbc Layout+LY_CURBACK
        sta addr
        iny
        lda (ptr),y
        sbc #0
        sta addr+1
        rts

; ptr = the title entry of line A, from the title pointer table that the
; layout names.
title_entry:
        asl a
        tay
        lda Layout+LY_TITLES
        sta ptr
        lda Layout+LY_TITLES+1
        sta ptr+1
        lda (ptr),y
        tax
        iny
        lda (ptr),y
        sta ptr+1
        stx ptr
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

; Writes text character A as the tile the layout's character map gives it.
; Keeps Y.
put_char:
        sty tmp2
        tay
        lda (charmap),y
        sta PPUDATA
        ldy tmp2
        rts

; ptr = the word at layout offset X.
layout_pointer:
        lda Layout,x
        sta ptr
        lda Layout+1,x
        sta ptr+1
        rts

; Writes the A bytes from ptr to PPUDATA.
copy_out:
        sta tmp2
        ldy #0
@byte:
        lda (ptr),y
        sta PPUDATA
        iny
        cpy tmp2
        bne @byte
        rts

; Draws the whole screen with rendering off, from the layout table.
draw_screen:
        ldx #LY_CHARMAP
        jsr layout_pointer
        lda ptr
        sta charmap
        lda ptr+1
        sta charmap+1

        ; palettes
        bit PPUSTATUS
        lda #$3F
        sta PPUADDR
        lda #$00
        sta PPUADDR
        ldx #LY_PALETTES
        jsr layout_pointer
        lda #32
        jsr copy_out

        ; name table: the fill tile, then the attribute table
        lda #$20
        sta PPUADDR
        lda #$00
        sta PPUADDR
        lda Layout+LY_FILL
        ldy #4
        ldx #$C0                ; 3 x 256 + 192 = 960 tiles
@tiles:
        sta PPUDATA
        dex
        bne @tiles
        dey
        bne @tiles
        ldx #LY_ATTRS
        jsr layout_pointer
        lda #64
        jsr copy_out

        ; the draw list: rules, instruction lines, help line
        ldx #LY_ITEMS
        jsr layout_pointer
        lda ptr
        sta item
        lda ptr+1
        sta item+1
@item:
        ldy #0
        lda (item),y
        beq @items_done
        pha
        iny
        lda (item),y
        sta addr
        iny
        lda (item),y
        sta addr+1
        jsr set_ppu_addr
        pla
        cmp #ITEM_RUN
        bne @text
        iny
        lda (item),y            ; tile
        tax
        iny
        lda (item),y            ; count
        beq @run_done
        tay
@run:
        stx PPUDATA
        dey
        bne @run
@run_done:
        lda #5
        bne @next
@text:
        iny
        lda (item),y
        sta ptr
        iny
        lda (item),y
        sta ptr+1
        iny
        lda (item),y
        jsr draw_text
        lda #6
@next:
        clc
        adc item
        sta item
        bcc @item
        inc item+1
        bne @item
@items_done:

        ; slot lines
        ldx #LY_COUNT
        jsr layout_pointer
        ldy #0
        lda (ptr),y
        cmp Layout+LY_MAXSLOTS
        bcc @count_ok
        lda Layout+LY_MAXSLOTS
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

; Draws at most A characters of the text at ptr, ending early at a 0x00, at
; the PPU address already set.
draw_text:
        sta len
        beq @done
        ldy #0
@char:
        lda (ptr),y
        beq @done
        jsr put_char
        iny
        cpy len
        bne @char
@done:
        rts

; Draws menu line `tmp`: its title (from the fifth byte of its title entry,
; as many characters as the layout says, ending early at a 0x00) and, for the
; icon values the layout draws, its icon.
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
        lda ptr
        clc
        adc #4
        sta ptr
        bcc @title
        inc ptr+1
@title:
        lda Layout+LY_TITLELEN
        jsr draw_text

        ; the icon: slot table byte 0
        ldx #LY_SLOTS
        jsr layout_pointer
        lda tmp
        asl a
        adc tmp
        asl a                   ; x 6
        tay
        lda (ptr),y
        beq @no_icon
        cmp Layout+LY_ICONS
        beq @icon
        bcs @no_icon
@icon:
        sec
        sbc #1
        asl a
        adc Layout+LY_ICON
        pha
        lda addr
        clc
        adc Layout+LY_ICONSHIFT
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
        lda Layout+LY_FILL
        sta PPUDATA
        lda new_at+1
        sta PPUADDR
        lda new_at
        sta PPUADDR
        lda Layout+LY_CURSOR
        sta PPUDATA
        lda #0
        sta dirty
@scroll:
        lda #0
        sta PPUSCROLL
        sta PPUSCROLL
        lda Layout+LY_CTRL
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

; The tile of every text character: letters, digits and punctuation as
; themselves ("%" is the dot leader), lower-case letters as upper case,
; everything else as a space.
char_map:
.repeat 256, C
  .if C >= $20 && C < $60
        .byte C
  .elseif C >= $61 && C < $7B
        .byte C - $20
  .else
        .byte TILE_SPACE
  .endif
.endrepeat

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

; ---------------------------------------------------------------- layout
; The one description of the screen (docs/menu.md). Its place ($F000) and
; the mark in front are how the menu preview knows a menu it can draw.
.segment "LAYOUT"
Layout:
        .byte "KORVA-LAYOUT", 1         ; mark and version
        .byte $80                       ; PPUCTRL: NMI on, name table $2000, patterns at $0000
        .byte $0A                       ; PPUMASK: background on, leftmost column too
        .byte TILE_SPACE
        .word palettes, attributes, char_map
        .word SlotCount, TitlePointers, SlotTable
        .byte MAX_SLOTS, TITLE_LEN
        .byte TILE_CURSOR, TITLE_COL - CURSOR_COL
        .byte TILE_ICON, 3, ICON_COL - TITLE_COL
        .word draw_list
.assert * - Layout = LY_ITEMS + 2, error, "layout field offsets do not match the table"

draw_list:
        .byte ITEM_RUN
        .word $2000 + 5 * 32 + 2
        .byte TILE_RULE, 28
        .byte ITEM_RUN
        .word $2000 + 24 * 32 + 2
        .byte TILE_RULE, 28
        .byte ITEM_TEXT
        .word $2000 + 2 * 32 + 4, InstLine1
        .byte LINE_LEN
        .byte ITEM_TEXT
        .word $2000 + 3 * 32 + 4, InstLine2
        .byte LINE_LEN
        .byte ITEM_TEXT
        .word $2000 + 26 * 32 + 4, help_text
        .byte LINE_LEN
        .byte ITEM_END

.segment "VECTORS"
        .word nmi, reset, irq

.segment "CHARS"
        .incbin "menu.chr"
