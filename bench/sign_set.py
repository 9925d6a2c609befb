#!/usr/bin/python3
"""Renders two-line signs in many scripts and languages, each beside its true text (NAME.jpg and
NAME.txt, one line of the sign per line), to check a text reader on pictures it was not tuned
on. Fonts, sizes, colours, backgrounds, tilt, blur and JPEG quality vary from sign to sign; the
same seed gives the same signs. Needs Debian's python3-pil (with libraqm, for Arabic and Thai
shaping), fonts-noto-core, fonts-noto-cjk and fonts-dejavu-core.

Names start with the language (en_, de_, ja_, zh_hans_, mix_ko_ ...), so a scorer that leaves
out spaces for Chinese, Japanese and Thai (tools like text_check.py look at the prefix) can tell.

Usage: sign_set.py FOLDER [--per-language N] [--seed S] [--only LANG,LANG]"""
import argparse
import os
import random

from PIL import Image, ImageDraw, ImageFilter, ImageFont

NOTO = '/usr/share/fonts/truetype/noto/'
CJK = '/usr/share/fonts/opentype/noto/'
DEJAVU = '/usr/share/fonts/truetype/dejavu/'

# Latin, Cyrillic and Greek faces; DejaVu is a different design from Noto's.
WESTERN = [NOTO + f for f in ('NotoSans-Regular.ttf', 'NotoSans-Bold.ttf', 'NotoSerif-Regular.ttf',
                              'NotoSerif-Bold.ttf', 'NotoSansDisplay-Regular.ttf', 'NotoSans-Italic.ttf')] + \
          [DEJAVU + f for f in ('DejaVuSans.ttf', 'DejaVuSerif.ttf', 'DejaVuSansCondensed-Bold.ttf')]
# Index of each language's faces inside the Noto CJK collections.
CJK_INDEX = {'ja': 0, 'ko': 1, 'zh_hans': 2, 'zh_hant': 3}
THAI = [NOTO + f for f in ('NotoSansThai-Regular.ttf', 'NotoSansThai-Bold.ttf', 'NotoSerifThai-Regular.ttf',
                           'NotoLoopedThai-Regular.ttf')]
ARABIC = [NOTO + f for f in ('NotoSansArabic-Regular.ttf', 'NotoSansArabic-Bold.ttf',
                             'NotoNaskhArabic-Regular.ttf', 'NotoKufiArabic-Regular.ttf')]

PHRASES = {
    'en': ['Opening hours', 'Please wait here', 'Keep this door closed', 'Lost property office',
           'Staff only beyond this point', 'Fire exit keep clear', 'Customer toilets upstairs',
           'Tickets and information', 'Mind the step', 'Library closed on Sunday'],
    'de': ['Öffnungszeiten', 'Fahrkarten für Züge', 'Zurück zum Bahnhof', 'Straße gesperrt',
           'Bitte Türen schließen', 'Ausgang über die Brücke', 'Frühstück ab acht Uhr',
           'Gebühren für Gepäck', 'Kein Zugang für Unbefugte', 'Rauchen verboten'],
    'fr': ['Sortie de secours', 'Entrée interdite au public', 'Défense de fumer', 'Réservé au personnel',
           'Fermeture à dix-huit heures', 'Hôtel de ville à gauche', 'Accès aux quais',
           'Prière de ne pas déranger', 'Bibliothèque fermée le lundi', 'Vente de billets ici'],
    'es': ['Prohibido fumar', 'Baños al fondo', 'Mañana cerrado por inventario', 'Atención al cliente',
           'Estación de autobuses', 'No pisar el césped', 'Precaución suelo mojado',
           'Habitación número doce', 'Compañía de teléfonos', 'Salida de emergencia'],
    'it': ['Vietato fumare', 'Uscita di emergenza', 'Chiuso il lunedì', 'Biglietteria e informazioni',
           'Attenzione al gradino', 'Ingresso libero', 'Caffè e pasticceria', 'Farmacia di turno',
           'Università degli studi', 'Più vicino alla stazione'],
    'pt': ['Saída de emergência', 'Proibido fumar', 'Não estacione aqui', 'Farmácia aberta',
           'Atenção ao degrau', 'Estação de comboios', 'Horário de funcionamento',
           'Bem-vindo a São Paulo', 'Pão quente todos os dias', 'Câmara municipal'],
    'vi': ['Cấm hút thuốc', 'Lối thoát hiểm', 'Nhà vệ sinh', 'Xin cảm ơn quý khách', 'Giữ gìn vệ sinh chung',
           'Cửa hàng tiện lợi', 'Bệnh viện đa khoa', 'Không đỗ xe trước cổng', 'Phòng chờ lên máy bay',
           'Đường một chiều'],
    'ru': ['Не курить', 'Посторонним вход воспрещён', 'Аптека работает круглосуточно',
           'Осторожно, двери закрываются', 'Касса номер три', 'Добро пожаловать', 'Остановка автобуса',
           'Закрыто на обед', 'Главный вход с улицы', 'Мужской туалет'],
    'uk': ['Вхід заборонено', 'Аптека відчинена', 'Обережно, слизька підлога',
           'Зупинка громадського транспорту', 'Ласкаво просимо', 'Дякуємо за покупку', 'Їжа та напої',
           'Каса працює щодня', 'Вихід на платформу', 'Пішохідний перехід'],
    'el': ['Έξοδος κινδύνου', 'Απαγορεύεται η είσοδος', 'Καλώς ήρθατε', 'Στάση λεωφορείου',
           'Κλειστό την Κυριακή', 'Προσοχή σκύλος', 'Τουαλέτες στον πρώτο όροφο', 'Εισιτήρια και πληροφορίες',
           'Ανοιχτό κάθε μέρα', 'Δημοτική βιβλιοθήκη'],
    'ja': ['出口はこちら', 'お手洗い', '足元にご注意ください', '営業時間のご案内', '関係者以外立ち入り禁止',
           'きっぷうりば', 'タクシーのりば', '本日は休業日です', 'ここでお待ちください', 'エレベーターをご利用ください'],
    'ko': ['출입 금지', '화장실은 이층에 있습니다', '영업 시간 안내', '버스 정류장', '조용히 해 주세요',
           '금연 구역입니다', '비상시 이 문을 여세요', '매표소', '어서 오세요', '주차 금지 구역'],
    'zh_hans': ['禁止吸烟', '出口在左边', '营业时间', '请勿触摸展品', '小心地滑', '地铁站入口', '欢迎光临本店',
                '售票处', '请排队上车', '电梯维修中'],
    'zh_hant': ['禁止吸煙', '出口在左邊', '營業時間', '請勿觸摸展品', '小心地滑', '捷運站入口', '歡迎光臨',
                '售票處', '請排隊上車', '電梯維修中'],
    'th': ['ห้ามสูบบุหรี่', 'ทางเข้า', 'ห้องน้ำ', 'กรุณารอสักครู่', 'ยินดีต้อนรับ', 'ปิดวันอาทิตย์',
           'ระวังพื้นลื่น', 'ห้ามจอดรถ', 'ร้านขายยา', 'สถานีรถไฟ'],
    'ar': ['ممنوع التدخين', 'المدخل الرئيسي', 'دورة المياه', 'مرحبا بكم', 'موقف السيارات', 'مغلق يوم الجمعة',
           'محطة الحافلات', 'الرجاء الانتظار هنا', 'قسم الطوارئ', 'مكتب الاستعلامات'],
    'mix_ja': ['出口 Exit', '新宿駅 Shinjuku Station', 'お手洗い Toilets', '東京駅 Tokyo Station', '案内所 Information',
               '改札口 Ticket Gates', 'きっぷうりば Tickets', 'バス乗り場 Bus Stop'],
    'mix_ko': ['화장실 Toilet', '서울역 Seoul Station', '입구 Entrance 2', '지하철 Subway', '안내 Information',
               '부산 Busan', '출구 Exit 5', '매표소 Tickets'],
    'mix_zh': ['出口 Exit', '上海站 Shanghai Station', '售票处 Tickets', '机场 Airport', '入口 Entrance',
               '地铁 Metro Line 2', '问讯处 Information', '洗手间 Toilets'],
    'mix_ru': ['Выход Exit', 'Касса Tickets', 'Метро Metro', 'Вокзал Railway Station', 'Аптека Pharmacy',
               'Вход Entrance 4', 'Туалет Toilets', 'Справочная Information'],
    'mix_el': ['Έξοδος Exit', 'Φαρμακείο Pharmacy', 'Αεροδρόμιο Airport', 'Είσοδος Entrance', 'Ξενοδοχείο Hotel',
               'Λιμάνι Port'],
    'mix_th': ['ห้องน้ำ Toilet', 'ทางออก Exit', 'สถานีรถไฟ Railway Station', 'ร้านขายยา Pharmacy', 'ทางเข้า Entrance 2',
               'โรงพยาบาล Hospital'],
    'mix_ar': ['مخرج Exit', 'صيدلية Pharmacy', 'مطار Airport', 'المدخل Entrance 3', 'فندق Hotel', 'مطعم Restaurant'],
}

# (background, text) colours: light signs with dark text, dark and coloured ones with light text.
COLOURS = [('#e9e6dc', '#1a1a1a'), ('#ffffff', '#000000'), ('#1f3d7a', '#ffffff'), ('#0f6b3a', '#ffffff'),
           ('#f2c200', '#111111'), ('#b3122a', '#fff4e0'), ('#2b2b2b', '#f0f0f0'), ('#d8e4f0', '#0a2a5a')]


def fonts_for(language, rng):
    """A font file and, for collections, the face index."""
    base = {'mix_ja': 'ja', 'mix_ko': 'ko', 'mix_zh': 'zh_hans', 'mix_th': 'th', 'mix_ar': 'ar'}.get(language, language)
    if base in CJK_INDEX:
        weight = rng.choice(['Sans', 'Sans', 'Serif'])
        bold = rng.choice(['Regular', 'Regular', 'Bold'])
        return f'{CJK}Noto{weight}CJK-{bold}.ttc', CJK_INDEX[base]
    if base == 'th':
        return rng.choice(THAI), 0
    if base == 'ar':
        return rng.choice(ARABIC), 0
    return rng.choice(WESTERN), 0


def textured(size, colour, rng):
    """A background of one colour with a little noise or a soft gradient, as paint and light give."""
    picture = Image.new('RGB', size, colour)
    kind = rng.choice(['plain', 'noise', 'gradient'])
    if kind == 'noise':
        noise = Image.effect_noise(size, rng.uniform(6, 18)).convert('RGB')
        picture = Image.blend(picture, noise, 0.08)
    elif kind == 'gradient':
        shade = Image.linear_gradient('L').resize(size).rotate(rng.choice([0, 90]), expand=False)
        dark = Image.new('RGB', size, (0, 0, 0))
        picture = Image.composite(picture, Image.blend(picture, dark, 0.25), shade)
    return picture


def runs(line):
    """The line cut where it turns between Latin (with digits) and another script; spaces stay with
    the run before them."""
    out = []
    for character in line:
        latin = character.isascii() and not character.isspace()
        if out and (character.isspace() or latin == out[-1][1]):
            out[-1][0] += character
        else:
            out.append([character, latin])
    return [(text, latin) for text, latin in out]


def draw_sign(lines, font, latin_font, rtl, margin, spacing, background, ink, tilt=0.0, blur=0.0, ground=None):
    """The sign: `lines` set in `font` (their English runs in `latin_font`), right-aligned and read
    right to left when `rtl`, on `ground(size, background)` (plain by default), turned by `tilt`
    degrees and blurred by a Gaussian of radius `blur`."""
    direction = 'rtl' if rtl else None

    def pieces(line):
        """(text, font, direction, width) of each run, in logical order."""
        out = []
        for text, latin in runs(line):
            face = latin_font if latin else font
            run_direction = None if latin else direction
            out.append((text, face, run_direction, face.getlength(text, direction=run_direction)))
        return out

    laid = [pieces(line) for line in lines]
    width = int(max(sum(p[3] for p in line) for line in laid)) + 1
    ascent = max(f.getmetrics()[0] for f in (font, latin_font))
    descent = max(f.getmetrics()[1] for f in (font, latin_font))
    line_height = ascent + descent
    height = 2 * margin + len(lines) * line_height + (len(lines) - 1) * spacing
    size = (width + 2 * margin, height)
    picture = ground(size, background) if ground else Image.new('RGB', size, background)
    draw = ImageDraw.Draw(picture)
    y = margin + ascent
    for line in laid:
        # Right-to-left lines start at the right edge and set their runs leftwards, in logical order.
        x = margin + width if rtl else margin
        for text, face, run_direction, run_width in line:
            if rtl:
                x -= run_width
            draw.text((x, y), text, font=face, fill=ink, direction=run_direction, anchor='ls')
            if not rtl:
                x += run_width
        y += line_height + spacing
    if tilt:
        picture = picture.rotate(tilt, resample=Image.BICUBIC, expand=True, fillcolor=background)
    if blur > 0.2:
        picture = picture.filter(ImageFilter.GaussianBlur(blur))
    return picture


def render(language, lines, rng):
    path, index = fonts_for(language, rng)
    size = rng.randint(24, 54)
    font = ImageFont.truetype(path, size, index=index)
    # Thai and Arabic faces have no Latin letters: English in their signs is set in Noto Sans.
    latin_font = font
    if language in ('mix_th', 'mix_ar'):
        latin_font = ImageFont.truetype(NOTO + rng.choice(['NotoSans-Regular.ttf', 'NotoSans-Bold.ttf']), size)
    margin = int(size * rng.uniform(0.7, 1.6))
    spacing = int(size * rng.uniform(0.2, 0.5))
    background, ink = rng.choice(COLOURS)
    return draw_sign(lines, font, latin_font, language in ('ar', 'mix_ar'), margin, spacing, background, ink,
                     tilt=rng.uniform(-2.5, 2.5), blur=rng.uniform(0, 1.1),
                     ground=lambda size, colour: textured(size, colour, rng))


def main():
    parser = argparse.ArgumentParser(description=__doc__.split('\n\n')[0])
    parser.add_argument('folder')
    parser.add_argument('--per-language', type=int, default=3)
    parser.add_argument('--seed', type=int, default=1)
    parser.add_argument('--only', default='')
    args = parser.parse_args()
    os.makedirs(args.folder, exist_ok=True)
    only = set(filter(None, args.only.split(',')))
    for language, phrases in PHRASES.items():
        if only and language not in only:
            continue
        rng = random.Random(f'{args.seed}-{language}')
        for n in range(args.per_language):
            lines = rng.sample(phrases, 2)
            name = f'{language}_{n:02d}'
            render(language, lines, rng).save(os.path.join(args.folder, name + '.jpg'),
                                              quality=rng.randint(70, 93))
            with open(os.path.join(args.folder, name + '.txt'), 'w', encoding='utf-8') as out:
                out.write('\n'.join(lines) + '\n')


if __name__ == '__main__':
    main()
